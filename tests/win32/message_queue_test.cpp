// The thread's message queue as PeekMessageA hands it out: posted messages
// first in first out, one per call, WM_QUIT last and never dispatched, and
// the window and range filters.
#include "recording_window.h"

#include <string>
#include <vector>

namespace layer_test {
namespace {

class MessageQueue : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        first = framedWindow("queue first");
        second = framedWindow("queue second");
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
        pumpMessages();
        messageLog().clear();
    }

    HWND first = nullptr;
    HWND second = nullptr;
};

MSG peek(UINT remove, HWND window = nullptr, UINT firstMessage = 0, UINT lastMessage = 0,
         bool* got = nullptr) {
    MSG message{};
    message.message = 0xFFFF;
    BOOL result = PeekMessageA(&message, window, firstMessage, lastMessage, remove);
    if (got)
        *got = result != FALSE;
    return message;
}

TEST_F(MessageQueue, EmptyQueueReturnsFalseAtOnce) {
    MSG message{};
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_FALSE(PeekMessageA(&message, first, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, PostedMessagesComeOutOneAtATimeInOrder) {
    for (WPARAM i = 1; i <= 3; ++i)
        ASSERT_TRUE(PostMessageA(i == 2 ? second : first, WM_USER + static_cast<UINT>(i), i, 10 * i));

    for (WPARAM i = 1; i <= 3; ++i) {
        ASSERT_TRUE(pumpOne()) << "message " << i << " is missing";
        ASSERT_EQ(messageLog().size(), static_cast<std::size_t>(i))
            << "one PeekMessageA delivered more than one";
    }
    EXPECT_FALSE(pumpOne());

    EXPECT_TRUE(sequenceIs(
        messageLog(), {posted(WM_USER + 1, 1, 10), posted(WM_USER + 2, 2, 20), posted(WM_USER + 3, 3, 30)}));
    EXPECT_EQ(messageLog()[1].window, second);
    for (const Delivered& d : messageLog())
        EXPECT_TRUE(d.reachedProcedure);
}

TEST_F(MessageQueue, QuitComesAfterEveryPostedMessageCarriesItsCodeAndIsNeverDispatched) {
    ASSERT_TRUE(PostMessageA(first, WM_USER + 1, 0, 0));
    PostQuitMessage(7);
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 2, 0, 0));
    ASSERT_TRUE(PostMessageA(second, WM_USER + 3, 0, 0));

    pumpMessages();

    EXPECT_TRUE(sequenceIs(
        messageLog(), {posted(WM_USER + 1), posted(WM_USER + 2), posted(WM_USER + 3), posted(WM_QUIT, 7)}));
    const Delivered& quit = messageLog().back();
    EXPECT_EQ(quit.window, nullptr);
    EXPECT_FALSE(quit.reachedProcedure);
    EXPECT_FALSE(pumpOne()) << "WM_QUIT came twice";
}

TEST_F(MessageQueue, NoRemoveLeavesTheMessageInPlace) {
    ASSERT_TRUE(PostMessageA(first, WM_USER + 1, 0, 0));
    ASSERT_TRUE(PostMessageA(first, WM_USER + 2, 0, 0));
    PostQuitMessage(3);

    for (UINT expected : {UINT{WM_USER + 1}, UINT{WM_USER + 2}, UINT{WM_QUIT}}) {
        bool got = false;
        EXPECT_EQ(peek(PM_NOREMOVE, nullptr, 0, 0, &got).message, expected);
        EXPECT_TRUE(got);
        EXPECT_EQ(peek(PM_NOREMOVE).message, expected) << "PM_NOREMOVE took the message";
        EXPECT_EQ(peek(PM_REMOVE).message, expected);
    }
    bool got = true;
    peek(PM_REMOVE, nullptr, 0, 0, &got);
    EXPECT_FALSE(got);
}

// Messages are posted by window (0: first, 1: second, -1: none) and message.
struct Post {
    int window;
    UINT message;
};

struct FilterCase {
    const char* name;
    std::vector<Post> posts;
    bool quit;
    int filterWindow;
    UINT filterFirst, filterLast;
    std::optional<Post> returned; // empty: PeekMessageA returns FALSE
    std::vector<Post> left;       // what an unfiltered loop then finds, in order
};

void PrintTo(const FilterCase& c, std::ostream* out) {
    *out << c.name;
}

class MessageFilter : public MessageQueue, public ::testing::WithParamInterface<FilterCase> {
  protected:
    HWND windowAt(int index) const { return index == 0 ? first : index == 1 ? second : nullptr; }

    std::vector<Expected> expectedOf(const std::vector<Post>& posts) const {
        std::vector<Expected> expected;
        for (const Post& p : posts)
            expected.push_back(posted(p.message));
        return expected;
    }
};

TEST_P(MessageFilter, ReturnsTheFirstMatchAndKeepsTheRest) {
    const FilterCase& c = GetParam();
    for (const Post& p : c.posts)
        ASSERT_TRUE(PostMessageA(windowAt(p.window), p.message, 0, 0));
    if (c.quit)
        PostQuitMessage(0);

    bool got = false;
    MSG message = peek(PM_REMOVE, windowAt(c.filterWindow), c.filterFirst, c.filterLast, &got);

    ASSERT_EQ(got, c.returned.has_value());
    if (c.returned) {
        EXPECT_EQ(message.message, c.returned->message);
        EXPECT_EQ(message.hwnd, windowAt(c.returned->window));
    }
    pumpMessages();
    EXPECT_TRUE(sequenceIs(messageLog(), expectedOf(c.left)));
    for (std::size_t i = 0; i < messageLog().size() && i < c.left.size(); ++i)
        EXPECT_EQ(messageLog()[i].window, windowAt(c.left[i].window)) << "message " << i;
}

constexpr UINT U1 = WM_USER + 1, U2 = WM_USER + 2, U3 = WM_USER + 3, U5 = WM_USER + 5;

const FilterCase filterCases[] = {
    {"WindowSkipsOtherWindows", {{0, U1}, {1, U2}, {1, U3}}, false, 1, 0, 0, Post{1, U2}, {{0, U1}, {1, U3}}},
    {"WindowSkipsThreadMessages", {{-1, U1}, {0, U2}}, false, 0, 0, 0, Post{0, U2}, {{-1, U1}}},
    {"WindowWithNothingQueued", {{0, U1}}, false, 1, 0, 0, std::nullopt, {{0, U1}}},
    {"RangeSkipsMessagesOutside",
     {{0, U1}, {0, U5}, {0, U3}},
     false,
     -1,
     U3,
     U5,
     Post{0, U5},
     {{0, U1}, {0, U3}}},
    {"RangeOfOneMessage", {{0, U1}, {0, U2}}, false, -1, U2, U2, Post{0, U2}, {{0, U1}}},
    {"RangeWithNoMatch", {{0, U1}}, false, -1, U2, U5, std::nullopt, {{0, U1}}},
    {"RangeAndWindowTogether",
     {{0, U2}, {1, U1}, {1, U2}},
     false,
     1,
     U2,
     U2,
     Post{1, U2},
     {{0, U2}, {1, U1}}},
    // WM_QUIT is retrieved whatever the range, once no message in the range is left.
    {"QuitWhateverTheRange", {{0, U1}}, true, -1, U2, U5, Post{-1, WM_QUIT}, {{0, U1}}},
    {"QuitAfterTheMessagesInTheRange",
     {{0, U1}, {0, U3}},
     true,
     -1,
     U2,
     U5,
     Post{0, U3},
     {{0, U1}, {-1, WM_QUIT}}},
};

INSTANTIATE_TEST_SUITE_P(Filters, MessageFilter, ::testing::ValuesIn(filterCases),
                         [](const ::testing::TestParamInfo<FilterCase>& info) { return info.param.name; });

} // namespace
} // namespace layer_test
