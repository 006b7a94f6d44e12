// EPD files: a position's four fields, then operations ";NAME VALUE", one position a line.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "board/board.h"
#include "tools/tools.h"

const std::string* EpdLine::operation(const char* name) const {
    for (const auto& [key, value] : operations)
        if (key == name) return &value;
    return nullptr;
}

long long EpdLine::number(const char* name, long long missing) const {
    const std::string* value = operation(name);
    return value ? std::atoll(value->c_str()) : missing;
}

std::vector<EpdLine> read_epd(const std::string& path) {
    std::vector<EpdLine> lines;
    std::ifstream file(path);
    for (std::string text; std::getline(file, text);) {
        if (text.empty() || text[0] == '#') continue;
        EpdLine line;
        std::istringstream fields(text.substr(0, text.find(';')));
        // A file may leave out castling and en passant (the evaluation corpus does).
        std::string placement, side, rights = "-", ep = "-";
        fields >> placement >> side >> rights >> ep;
        line.fen = placement + " " + side + " " + rights + " " + ep;
        // Castling letters that are files mark a Chess960 position.
        for (char r : rights) line.chess960 |= (r >= 'A' && r <= 'H') || (r >= 'a' && r <= 'h');
        for (size_t at = text.find(';'); at != std::string::npos;) {
            const size_t end = text.find(';', at + 1);
            std::istringstream op(text.substr(at + 1, end == std::string::npos ? end : end - at - 1));
            std::string name, value, word;
            op >> name;
            while (op >> word) value += (value.empty() ? "" : " ") + word;
            line.operations.emplace_back(name, value);
            at = end;
        }
        lines.push_back(line);
    }
    return lines;
}

bool setup_epd(const EpdLine& line) {
    set_variant(line.chess960 ? "fischerandom" : "normal");
    return setup_position(game, line.fen.c_str());
}
