// Text helpers shared by the console, the settings file and the protocol: words and numbers.
#include <climits>

#include "shell/shell.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

}  // namespace

const char* read_word(const char* text, char* word, int size) {
    while (*text != '\0' && is_blank(*text)) text++;
    int length = 0;
    while (*text != '\0' && !is_blank(*text)) {
        if (length < size - 1) word[length++] = *text;
        text++;
    }
    if (size > 0) word[length] = '\0';
    return text;
}

bool read_int(const char* word, int* value) {
    const char* c = word;
    while (*c != '\0' && is_blank(*c)) c++;
    bool negative = false;
    if (*c == '+' || *c == '-') negative = *c++ == '-';
    if (*c < '0' || *c > '9') return false;
    long long n = 0;
    for (; *c >= '0' && *c <= '9'; c++) {
        if (n <= INT_MAX) n = n * 10 + (*c - '0');
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;
    if (n < INT_MIN) n = INT_MIN;
    *value = static_cast<int>(n);
    return true;
}
