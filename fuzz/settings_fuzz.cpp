// The settings file: any bytes as tolvane.ini, and the words after a NUL byte as the command line.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "egbb/egbb.h"
#include "eval/eval.h"
#include "fuzz_support.h"
#include "search/search.h"
#include "shell/shell.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The file is read from the working folder: give the harness one of its own.
    auto folder = std::filesystem::temp_directory_path() / ("tolvane-settings-fuzz-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const char* nul = static_cast<const char*>(memchr(bytes, '\0', size));
    size_t file_size = nul ? static_cast<size_t>(nul - bytes) : size;

    FILE* file = fopen("tolvane.ini", "wb");
    FUZZ_CHECK(file != nullptr);
    fwrite(bytes, 1, file_size, file);
    fclose(file);

    std::vector<std::string> words = {"tolvane"};
    if (nul) {
        std::string rest(nul + 1, bytes + size);
        size_t start = 0;
        while (start <= rest.size()) {
            size_t end = rest.find_first_of(" \n", start);
            if (end == std::string::npos) end = rest.size();
            if (end > start) words.push_back(rest.substr(start, end - start));
            start = end + 1;
        }
    }
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    read_config();
    apply_options(static_cast<int>(words.size()), argv.data());

    // Whatever the file said, every setting is one the engine can use.
    FUZZ_CHECK(hash_megabytes_valid(hash_mb));
    FUZZ_CHECK(table_megabytes_valid(ecache_mb));
    FUZZ_CHECK(memchr(egbb_path, '\0', EGBB_PATH_SIZE) != nullptr);
    FUZZ_CHECK(memchr(mainbook, '\0', SETTING_TEXT_SIZE) != nullptr);
    FUZZ_CHECK(memchr(tourbook, '\0', SETTING_TEXT_SIZE) != nullptr);
    FUZZ_CHECK(memchr(ownbook, '\0', SETTING_TEXT_SIZE) != nullptr);
    FUZZ_CHECK(memchr(polyglotbook, '\0', SETTING_TEXT_SIZE) != nullptr);
    return 0;
}
