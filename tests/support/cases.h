// Tables of cases kept as data beside the tests that read them: one case a line, its fields
// split on blanks, and from '#' on a comment.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using CaseRow = std::vector<std::string>;

// The rows of tests/PATH (e.g. "board/walk_cases.txt"); a file missing or without a row fails the test.
inline std::vector<CaseRow> read_cases(const std::string& path) {
    std::ifstream file(std::string(TOLVANE_TEST_DATA) + "/../" + path);
    std::vector<CaseRow> rows;
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line.substr(0, line.find('#')));
        CaseRow row{std::istream_iterator<std::string>(fields), {}};
        if (!row.empty()) rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty()) << path;
    return rows;
}

// The fields from `first` on, joined by single blanks: a text that holds blanks itself, as a FEN.
inline std::string joined_fields(const CaseRow& row, size_t first = 0) {
    std::string text;
    for (size_t i = first; i < row.size(); i++) text += (i > first ? " " : "") + row[i];
    return text;
}
