// Tables of live objects behind the opaque Win32 handles.
//
// A handle encodes a kind tag, a slot index and the slot's generation count.
// It is decoded and checked against the table, never dereferenced, so a stale
// handle (its object gone, the slot perhaps reused) or a foreign value is
// simply refused.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace win32 {

enum class HandleKind : std::uint64_t { Window = 1, DeviceContext = 2, Context = 3 };

template <typename Record> class HandleTable {
  public:
    explicit HandleTable(HandleKind kind) : kind_(kind) {}

    // Stores a new record and returns its handle value, or 0 when every one
    // of the slots an index can name is taken.
    std::uintptr_t add(std::unique_ptr<Record> record) {
        std::size_t index = 0;
        while (index < slots_.size() && slots_[index].record)
            ++index;
        if (index == maxSlots)
            return 0;
        if (index == slots_.size())
            slots_.push_back(Slot{});
        Slot& slot = slots_[index];
        slot.generation = (slot.generation + 1) & 0xFFFFFFu;
        if (slot.generation == 0)
            slot.generation = 1;
        slot.record = std::move(record);
        return encode(kind_, index, slot.generation);
    }

    // The live record a handle names, or null.
    Record* find(std::uintptr_t handle) const { return findAs(kind_, handle); }

    // The same lookup for a second handle kind that shares these slots (the
    // device context that a window owns).
    Record* findAs(HandleKind kind, std::uintptr_t handle) const {
        std::uint64_t value = handle;
        if ((value >> 48) != static_cast<std::uint64_t>(kind))
            return nullptr;
        std::size_t index = static_cast<std::size_t>(value & 0xFFFFu);
        std::uint32_t generation = static_cast<std::uint32_t>((value >> 16) & 0xFFFFFFu);
        if (index == 0 || index > slots_.size())
            return nullptr;
        const Slot& slot = slots_[index - 1];
        return slot.record && slot.generation == generation ? slot.record.get() : nullptr;
    }

    std::uintptr_t handleAs(HandleKind kind, std::uintptr_t handle) const {
        return (handle & ~(0xFFFFull << 48)) | (static_cast<std::uint64_t>(kind) << 48);
    }

    void remove(std::uintptr_t handle) {
        if (find(handle))
            slots_[(handle & 0xFFFFu) - 1].record.reset();
    }

    template <typename Visit> void forEach(Visit visit) const {
        for (const Slot& slot : slots_)
            if (slot.record)
                visit(*slot.record);
    }

  private:
    static constexpr std::size_t maxSlots = 0xFFFF; // the index field holds index + 1

    struct Slot {
        std::uint32_t generation = 0;
        std::unique_ptr<Record> record;
    };

    static std::uintptr_t encode(HandleKind kind, std::size_t index, std::uint32_t generation) {
        return static_cast<std::uintptr_t>((static_cast<std::uint64_t>(kind) << 48) |
                                           (static_cast<std::uint64_t>(generation) << 16) | (index + 1));
    }

    HandleKind kind_;
    std::vector<Slot> slots_;
};

} // namespace win32
