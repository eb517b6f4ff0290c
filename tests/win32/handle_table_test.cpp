// The table behind the opaque handles: a handle names one live record, and
// stale, foreign and made-up values name none.
#include "handles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace {

using win32::HandleKind;
using win32::HandleTable;

struct Thing {
    int value;
};

std::unique_ptr<Thing> thing(int value) {
    return std::make_unique<Thing>(Thing{value});
}

TEST(HandleTable, AHandleFindsItsRecordUntilRemoved) {
    HandleTable<Thing> table(HandleKind::Window);
    std::uintptr_t a = table.add(thing(1));
    std::uintptr_t b = table.add(thing(2));

    ASSERT_NE(table.find(a), nullptr);
    ASSERT_NE(table.find(b), nullptr);
    EXPECT_EQ(table.find(a)->value, 1);
    EXPECT_EQ(table.find(b)->value, 2);
    EXPECT_NE(a, 0u);

    table.remove(a);
    EXPECT_EQ(table.find(a), nullptr);
    EXPECT_EQ(table.find(b)->value, 2);
    table.remove(a); // a second removal changes nothing
    EXPECT_EQ(table.find(b)->value, 2);
}

TEST(HandleTable, AReusedSlotDoesNotReviveTheOldHandle) {
    HandleTable<Thing> table(HandleKind::Window);
    std::uintptr_t old = table.add(thing(1));
    table.remove(old);

    std::uintptr_t reused = table.add(thing(2));

    EXPECT_EQ(reused & 0xFFFF, old & 0xFFFF) << "the freed slot was not reused";
    EXPECT_NE(reused, old);
    EXPECT_EQ(table.find(old), nullptr);
    ASSERT_NE(table.find(reused), nullptr);
    EXPECT_EQ(table.find(reused)->value, 2);
    table.remove(old); // the stale handle cannot remove the new record
    EXPECT_NE(table.find(reused), nullptr);
}

TEST(HandleTable, AnotherKindIsFoundOnlyAsThatKind) {
    HandleTable<Thing> table(HandleKind::Window);
    std::uintptr_t window = table.add(thing(1));
    std::uintptr_t dc = table.handleAs(HandleKind::DeviceContext, window);

    EXPECT_NE(dc, window);
    EXPECT_EQ(table.findAs(HandleKind::DeviceContext, dc), table.find(window));
    EXPECT_EQ(table.find(dc), nullptr);
    EXPECT_EQ(table.findAs(HandleKind::DeviceContext, window), nullptr);

    HandleTable<Thing> contexts(HandleKind::Context);
    std::uintptr_t context = contexts.add(thing(2));
    EXPECT_EQ(table.find(context), nullptr) << "a context handle named a window";
    EXPECT_EQ(contexts.find(window), nullptr) << "a window handle named a context";
}

TEST(HandleTable, MadeUpValuesFindNothing) {
    HandleTable<Thing> table(HandleKind::Window);
    std::uintptr_t live = table.add(thing(1));
    const std::uintptr_t kindBits = std::uintptr_t{1} << 48;

    for (std::uintptr_t value :
         {std::uintptr_t{0}, std::uintptr_t{1}, std::uintptr_t{0x12345678}, ~std::uintptr_t{0}, kindBits,
          kindBits | 1, live + 1, live + (std::uintptr_t{1} << 16), live - (std::uintptr_t{1} << 16),
          live & 0xFFFF})
        EXPECT_EQ(table.find(value), nullptr) << std::hex << value;
    EXPECT_NE(table.find(live), nullptr);
}

TEST(HandleTable, ManyReusesOfOneSlotGiveDistinctHandles) {
    HandleTable<Thing> table(HandleKind::Window);
    std::uintptr_t first = table.add(thing(0));
    table.remove(first);
    std::uintptr_t previous = first;
    for (int i = 1; i < 1000; ++i) {
        std::uintptr_t next = table.add(thing(i));
        ASSERT_NE(next, previous);
        ASSERT_NE(next, first);
        ASSERT_EQ(table.find(previous), nullptr);
        table.remove(next);
        previous = next;
    }
}

} // namespace
