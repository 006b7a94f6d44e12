// The line reader and the pending-input test, driven through a real pipe on standard input.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/platform.h"

namespace {

// Standard input becomes the read end of a fresh pipe for the whole test program; the tests run
// in order over the one shared input buffer and end with end of input.
int writer = -1;

void send(const std::string& text) {
    ASSERT_EQ(write(writer, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

std::string next_line(size_t size = 256) {
    std::string buffer(size, '?');
    if (!read_line(buffer.data(), size)) return "<eof>";
    return std::string(buffer.c_str());
}

class InputThroughPipe : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        ASSERT_EQ(dup2(fds[0], STDIN_FILENO), STDIN_FILENO);
        close(fds[0]);
        writer = fds[1];
    }
};

// Polling does not consume a line; a line already in our buffer, invisible to poll(), counts.
TEST_F(InputThroughPipe, PendingSeesLinesWithoutConsumingThem) {
    EXPECT_FALSE(input_pending());
    send("first\nsecond\n");
    EXPECT_TRUE(input_pending());
    EXPECT_TRUE(input_pending());
    EXPECT_EQ(next_line(), "first");
    EXPECT_TRUE(input_pending());
    EXPECT_EQ(next_line(), "second");
    EXPECT_FALSE(input_pending());
}

TEST_F(InputThroughPipe, PeekShowsAWholeLineAndLeavesIt) {
    char line[64];
    EXPECT_FALSE(peek_line(line, sizeof line));
    send("half");
    EXPECT_FALSE(peek_line(line, sizeof line)) << "a partial line is not a line yet";
    send(" done\r\nnext\n");
    ASSERT_TRUE(peek_line(line, sizeof line));
    EXPECT_STREQ(line, "half done");
    ASSERT_TRUE(peek_line(line, sizeof line));
    EXPECT_STREQ(line, "half done");
    EXPECT_EQ(next_line(), "half done");
    ASSERT_TRUE(peek_line(line, 3));
    EXPECT_STREQ(line, "ne") << "cut to the caller's buffer";
    EXPECT_EQ(next_line(), "next");
}

TEST_F(InputThroughPipe, OverlongLines) {
    send(std::string(300, 'x') + "\nafter\n");
    EXPECT_EQ(next_line(16), std::string(15, 'x')) << "cut to the buffer, the rest dropped";
    EXPECT_EQ(next_line(), "after");
}

TEST_F(InputThroughPipe, LineLongerThanTheWholeBuffer) {
    std::string huge(200000, 'y');
    huge[0] = 'h';
    // Written from a child so the pipe can drain while we read.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        send(huge + "\ntail\n");
        _exit(0);
    }
    // Peeking cannot wait for its end: once the buffer is full, its start stands for it.
    char start[8];
    bool seen = false;
    for (int i = 0; i < 2000 && !seen; i++) {
        seen = peek_line(start, sizeof start);
        if (!seen) usleep(1000);
    }
    EXPECT_TRUE(seen);
    EXPECT_STREQ(start, "hyyyyyy");
    EXPECT_EQ(next_line(8), "hyyyyyy");
    EXPECT_EQ(next_line(), "tail");
    waitpid(child, nullptr, 0);
}

TEST_F(InputThroughPipe, EndOfInputIsPendingAndEndsReading) {
    send("last line without newline");
    EXPECT_FALSE(input_ended());
    close(writer);
    EXPECT_TRUE(input_pending());
    // The last bytes are read first, the end after them: a second look sees it.
    char line[64];
    EXPECT_FALSE(peek_line(line, sizeof line)) << "no whole line";
    EXPECT_FALSE(peek_line(line, sizeof line)) << "and none will come";
    EXPECT_TRUE(input_ended());
    EXPECT_EQ(next_line(), "last line without newline");
    EXPECT_TRUE(input_pending()) << "a closed pipe counts as pending input";
    EXPECT_EQ(next_line(), "<eof>");
    EXPECT_EQ(next_line(), "<eof>");
}

}  // namespace
