// The speed benchmark: evaluations, perft leaves and search nodes per second over fixed work.
//
// It times the same work the signature tests count, so a speed change can be measured without
// touching play: the evaluation corpus, the perft positions, and the broad signature positions
// searched to their depths. Each line also prints its count (a checksum of the scores, the
// leaves, the nodes), which must not differ between two builds being compared.
//
//   tolvane-speed [eval] [perft] [search]   (all three without arguments)
//   tolvane-speed perft N                   perft N from the start position alone
//   tolvane-speed search FEN DEPTH          one search to a fixed depth
//   tolvane-speed train                     the profile-guided build's training run
//   ... threads N                           with N search threads (default 1)
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "egbb/egbb.h"
#include "eval/eval.h"
#include "search/search.h"
#include "tools/tools.h"

namespace {

const std::string DATA_DIR = TOLVANE_DATA_DIR;

// The perft positions are run to this many leaves at most: the deep lines would take minutes.
constexpr uint64_t PERFT_LEAF_BUDGET = 20000000;

// Evaluation rounds over the corpus, so the timed part is long enough to measure.
constexpr int EVAL_ROUNDS = 20;

bool no_input() { return false; }

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<EpdLine> data_lines(const char* name) {
    std::vector<EpdLine> lines = read_epd(DATA_DIR + "/" + name);
    if (lines.empty()) {
        std::fprintf(stderr, "Cannot read %s/%s\n", DATA_DIR.c_str(), name);
        std::exit(1);
    }
    return lines;
}

// Castling letters that are files mark a Chess960 position.
void set_variant_for(const std::string& rights) {
    bool chess960 = false;
    for (char r : rights) chess960 |= (r >= 'A' && r <= 'H') || (r >= 'a' && r <= 'h');
    set_variant(chess960 ? "fischerandom" : "normal");
}

bool set_fen(const std::string& fen) {
    std::istringstream fields(fen);
    std::string placement, side, rights = "-", ep = "-";
    fields >> placement >> side >> rights >> ep;
    set_variant_for(rights);
    return setup_position(game, (placement + " " + side + " " + rights + " " + ep).c_str());
}

// Every corpus position evaluated in full (no cache, no lazy exits), as the corpus test does. The
// rounds run through the whole corpus, so each evaluation follows another position, as in a search.
void eval_speed() {
    // The board without its history: the evaluation reads nothing else.
    struct Line {
        unsigned char board[POSITION_BOARD_BYTES];
        int root[4];
    };
    std::vector<Line> corpus;
    for (const EpdLine& line : data_lines("eval_corpus.epd")) {
        Line c;
        const std::string* root = line.operation("root");
        std::istringstream fields(root ? *root : "");
        fields >> c.root[0] >> c.root[1] >> c.root[2] >> c.root[3];
        if (!setup_epd(line)) continue;
        std::memcpy(c.board, &game, sizeof c.board);
        corpus.push_back(c);
    }
    Evaluator evaluator(game);  // without a cache
    evaluator.lazy_eval = 0;
    int64_t checksum = 0, evaluations = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < EVAL_ROUNDS; r++)
        for (const Line& c : corpus) {
            std::memcpy(static_cast<void*>(&game), c.board, sizeof c.board);
            evaluator.root_piece_material[WHITE] = c.root[0];
            evaluator.root_pawn_material[WHITE] = c.root[1];
            evaluator.root_piece_material[BLACK] = c.root[2];
            evaluator.root_pawn_material[BLACK] = c.root[3];
            checksum += evaluate(evaluator, -SCORE_INF, SCORE_INF);
            evaluations++;
        }
    const double seconds = seconds_since(start);
    std::printf("eval    %8" PRId64 " evaluations  %7.3f s  %10.0f evaluations/s  (checksum %" PRId64 ")\n",
                evaluations, seconds, evaluations / seconds, checksum);
}

void perft_line(const char* label, uint64_t leaves, double seconds) {
    std::printf("%-7s %12" PRIu64 " leaves  %7.3f s  %10.0f leaves/s\n", label, leaves, seconds,
                leaves / seconds);
}

// Each perft position to the deepest recorded depth within the leaf budget.
void perft_speed() {
    uint64_t leaves = 0;
    double seconds = 0;
    for (const EpdLine& line : data_lines("perft.epd")) {
        int depth = 0;  // the counts grow with the depth
        for (;; depth++) {
            std::string name = "D";
            name += std::to_string(depth + 1);
            const long long count = line.number(name.c_str(), -1);
            if (count < 0 || count > static_cast<long long>(PERFT_LEAF_BUDGET)) break;
        }
        if (depth == 0 || !setup_epd(line)) continue;
        const auto start = std::chrono::steady_clock::now();
        leaves += perft(depth);
        seconds += seconds_since(start);
    }
    perft_line("perft", leaves, seconds);
}

void perft_start(int depth) {
    set_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    const auto start = std::chrono::steady_clock::now();
    const uint64_t leaves = perft(depth);
    perft_line(("perft " + std::to_string(depth)).c_str(), leaves, seconds_since(start));
}

int64_t search_to_depth(const std::string& fen, int depth) {
    if (!set_fen(fen)) {
        std::fprintf(stderr, "Cannot set up %s\n", fen.c_str());
        std::exit(1);
    }
    clear_tables();
    set_fixed_limits(NO_TIME_LIMIT_MS, depth);
    search_mode = MODE_THINK;
    root_search(EMPTY);
    return searched_nodes();
}

// The broad signature's positions, each to its depth from cleared tables.
void search_speed() {
    int64_t total = 0;
    double seconds = 0;
    for (const EpdLine& line : data_lines("signature.epd")) {
        const auto start = std::chrono::steady_clock::now();
        total += search_to_depth(line.fen, int(line.number("depth", 0)));
        seconds += seconds_since(start);
    }
    std::printf("search  %12" PRId64 " nodes   %7.3f s  %10.0f nodes/s\n", total, seconds, total / seconds);
}

void quiet_thinking(const SearchThread&, int) {}

// What a profile-guided build learns from: the test positions at a short time each, the bench
// position at a fixed depth, and one pass of the perft and evaluation work.
constexpr int TRAIN_TIME_MS = 1000;
constexpr int TRAIN_BENCH_DEPTH = 11;

void train() {
    for (int i = 0; i < TEST_POSITION_COUNT; i++) {
        set_variant("normal");
        if (!setup_position(game, test_position(i))) continue;
        clear_game_memory();
        set_fixed_limits(TRAIN_TIME_MS, MAX_PLY);
        search_mode = MODE_THINK;
        root_search(EMPTY);
    }
    if (bench_prepare()) {
        set_fixed_limits(NO_TIME_LIMIT_MS, TRAIN_BENCH_DEPTH);
        root_search(EMPTY);
    }
    perft_speed();
    eval_speed();
}

}  // namespace

int main(int argc, char** argv) {
    poll_input = no_input;  // no console: nothing typed may stop a search
    // "threads N" anywhere: the searches' thread count.
    for (int i = 1; i + 1 < argc; i++) {
        if (std::strcmp(argv[i], "threads") != 0) continue;
        if (!set_search_threads(std::atoi(argv[i + 1]))) {
            std::fprintf(stderr, "threads: 1 to %d\n", MAX_THREADS);
            return 1;
        }
        for (int j = i; j + 2 < argc + 1; j++) argv[j] = argv[j + 2];
        argc -= 2;
        break;
    }
    show_thinking = quiet_thinking;
    init_hash_keys();
    alloc_tables();
    std::snprintf(egbb_path, EGBB_PATH_SIZE, "%s", TOLVANE_BUILD_DIR "/egbb/");
    if (load_bitbases() != 1) std::printf("(bitbases not loaded: the search figures are not comparable)\n");

    if (argc == 2 && std::strcmp(argv[1], "train") == 0) {
        train();
    } else if (argc == 3 && std::strcmp(argv[1], "perft") == 0) {
        perft_start(std::atoi(argv[2]));
    } else if (argc == 4 && std::strcmp(argv[1], "search") == 0) {
        const auto start = std::chrono::steady_clock::now();
        const int64_t n = search_to_depth(argv[2], std::atoi(argv[3]));
        const double seconds = seconds_since(start);
        std::printf("search  %12" PRId64 " nodes   %7.3f s  %10.0f nodes/s\n", n, seconds, n / seconds);
    } else {
        bool all = argc == 1;
        for (int i = 1; i < argc; i++) all |= std::strcmp(argv[i], "all") == 0;
        auto wanted = [&](const char* name) {
            for (int i = 1; i < argc; i++)
                if (std::strcmp(argv[i], name) == 0) return true;
            return all;
        };
        if (wanted("eval")) eval_speed();
        if (wanted("perft")) perft_speed();
        if (wanted("search")) search_speed();
    }
    stop_all_threads();
    if (egbb_loaded) unload_bitbases();
    free_tables();
    return 0;
}
