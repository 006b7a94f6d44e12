// The bitbase library binding: load it by name, hand it its settings, code probes, release it.
#include <atomic>
#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "egbb/egbb.h"
#include "platform/platform.h"

// The library's file names, tried in this order. A 64-bit engine cannot load a 32-bit library;
// 64-bit bitbase libraries for Windows come under either name.
#if defined(_WIN64)
constexpr const char* EGBB_LIBRARY_NAMES[] = {"egbbdll64.dll", "egbbdll.dll"};
#elif defined(_WIN32)
constexpr const char* EGBB_LIBRARY_NAMES[] = {"egbbdll.dll"};
#else
constexpr const char* EGBB_LIBRARY_NAMES[] = {"egbbso64.so"};
#endif

char egbb_path[EGBB_PATH_SIZE] = "./egbb/";
int egbb_men = 5;
int egbb_cache_size = 32;
int egbb_load_type = 0;
int egbb_loaded;
EgbbProbeFunction EgbbProbe;

static void* egbb_library;

// Piece codes of the probe by PieceType PAWN..QUEEN; Black's are White's plus six.
static const int white_piece_code[5] = {6, 5, 4, 3, 2};
constexpr int BLACK_CODE_OFFSET = 6;

// A faulty library is named once, not at every probe, and by one thread only.
static std::atomic<bool> impossible_score_reported{false};

const char* egbb_message_prefix = "";

static void report_unusable(const char* file_name, const char* reason) {
    printf("%sBitbase library %s is unusable: %s\n", egbb_message_prefix, file_name, reason);
}

// The system's reason often starts with the file's name, which the message gives already.
static const char* skip_file_name(const char* reason, const char* file_name) {
    size_t length = strlen(file_name);
    if (strncmp(reason, file_name, length) == 0 && strncmp(reason + length, ": ", 2) == 0) return reason + length + 2;
    return reason;
}

int egbb_cache_bytes(int megabytes) {
    if (megabytes < 0) megabytes = 0;
    if (megabytes > EGBB_MAX_CACHE_MB) megabytes = EGBB_MAX_CACHE_MB;
    return megabytes << 20;
}

int load_bitbases() {
    // Entering xboard mode twice must not leak a second handle.
    if (egbb_library) return 1;

    // 1. Load it: the directory setting joined with each of the library's names, until one loads.
    // A file that is there and still does not load is worth a word on why.
    const void* end = memchr(egbb_path, '\0', EGBB_PATH_SIZE);
    size_t directory = end ? static_cast<size_t>(static_cast<const char*>(end) - egbb_path)
                           : EGBB_PATH_SIZE;
    void* library = nullptr;
    char file_name[EGBB_FILE_NAME_SIZE] = "";
    for (const char* name : EGBB_LIBRARY_NAMES) {
        if (directory + strlen(name) >= sizeof file_name) continue;
        memcpy(file_name, egbb_path, directory);
        strcpy(file_name + directory, name);
        library = library_open(file_name);
        if (library) break;
        if (FILE* file = fopen(file_name, "rb")) {
            fclose(file);
            report_unusable(file_name, skip_file_name(library_error(), file_name));
        }
    }

    // 2. Find both entries; a library without them is of no use.
    if (!library) return 0;
    auto load = reinterpret_cast<EgbbLoadFunction>(library_symbol(library, "load_egbb_5men"));
    auto probe = reinterpret_cast<EgbbProbeFunction>(library_symbol(library, "probe_egbb_5men"));
    if (!load || !probe) {
        library_close(library);
        report_unusable(file_name, load ? "it has no entry probe_egbb_5men" : "it has no entry load_egbb_5men");
        return 0;
    }

    // 3. Hand it the directory, the cache in bytes and the load type.
    char directory_text[EGBB_PATH_SIZE + 1];
    memcpy(directory_text, egbb_path, directory);
    directory_text[directory] = '\0';
    load(directory_text, egbb_cache_bytes(egbb_cache_size), egbb_load_type);

    egbb_library = library;
    EgbbProbe = probe;
    egbb_loaded = 1;
    impossible_score_reported = false;
    return 1;
}

void unload_bitbases() {
    if (egbb_library && !library_close(egbb_library)) printf("Can't unload bitbases");
    egbb_library = nullptr;
    EgbbProbe = nullptr;
    egbb_loaded = 0;
}

bool egbb_probe_arguments(const Position& pos, int args[EGBB_PROBE_ARGUMENTS]) {
    for (int i = 0; i < EGBB_PROBE_ARGUMENTS; i++) args[i] = 0;
    int white_king = pos.king_square[WHITE], black_king = pos.king_square[BLACK];
    if (white_king < 0 || white_king > 63 || black_king < 0 || black_king > 63) return false;
    args[0] = 1 - pos.side;
    args[1] = white_king ^ 56;
    args[2] = black_king ^ 56;

    // Men fill the pairs in the engine's square order, from a8; more than the pairs can hold
    // would hand the library a different position.
    int pair = 0;
    for (int square = 0; square < 64; square++) {
        int piece = pos.piece[square];
        if (piece < PAWN || piece > QUEEN) continue;
        if (pair == EGBB_MAX_MEN - 2) return false;
        int code = white_piece_code[piece];
        if (pos.color[square] == BLACK) code += BLACK_CODE_OFFSET;
        args[3 + 2 * pair] = code;
        args[4 + 2 * pair] = square ^ 56;
        pair++;
    }
    return true;
}

int probe_bitbases(const Position& pos, int* score) {
    int args[EGBB_PROBE_ARGUMENTS];
    if (!EgbbProbe || !egbb_probe_arguments(pos, args)) {
        *score = EGBB_NOT_FOUND;
        return 0;
    }
    *score = EgbbProbe(args[0], args[1], args[2], args[3], args[4], args[5], args[6], args[7],
                       args[8]);
    if (*score == EGBB_NOT_FOUND) return 0;
    // Beyond the limit a score would read as a mate or as infinity in the search: a faulty
    // library's answer is a miss.
    if (*score <= -EGBB_SCORE_LIMIT || *score >= EGBB_SCORE_LIMIT) {
        if (!impossible_score_reported.exchange(true)) {
            printf("%sBitbase library gave the impossible score %d: such scores are ignored\n",
                   egbb_message_prefix, *score);
        }
        *score = EGBB_NOT_FOUND;
        return 0;
    }
    return 1;
}
