// The text the tables point into: the bytes of the loaded file, as read, followed by the bytes of the
// lines filed since by InputConf (and, in a separate run of UTF-16 units, the text of such lines that
// the encoding has no bytes for). Names and values are (offset, length) ranges of it; nothing is
// decoded until a query returns it.
//
// clear() keeps the memory for the next load: fresh memory is slow to touch. Offsets are 32-bit, so each
// of the two runs holds at most 4,294,967,295 bytes (units); more is run-time error 7, raised before
// anything is added.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace tw_ini::detail {

class text_store {
  public:
    void clear() noexcept {
        size_ = 0;
        units_.clear();
    }

    const char* data() const noexcept { return data_.get(); }
    std::size_t size() const noexcept { return size_; }
    std::string_view bytes(std::uint32_t at, std::uint32_t length) const noexcept {
        return {data_.get() + at, length};
    }
    std::u16string_view units(std::uint32_t at, std::uint32_t length) const noexcept {
        return {units_.data() + at, length};
    }

    // Room for at least `wanted` more bytes past size(), growing by half at least when it must grow;
    // `available` is set to all there is. The caller writes into it and commit()s what it wrote.
    char* room(std::size_t wanted, std::size_t& available);
    void commit(std::size_t bytes) noexcept { size_ += bytes; }
    // Capacity for `bytes` in all, exactly, unless there is that much already (a file's size, before it
    // is read, so that a load takes no more memory than the file).
    void reserve(std::size_t bytes);

    // Appends and returns the offset where the text starts.
    std::uint32_t append(std::string_view bytes) {
        std::size_t available;
        char* at = room(bytes.size(), available);
        if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
        const auto offset = static_cast<std::uint32_t>(size_);
        size_ += bytes.size();
        return offset;
    }
    std::uint32_t append_units(std::u16string_view units);

  private:
    void grow(std::size_t wanted);
    void reallocate(std::size_t capacity);

    struct release {
        void operator()(char* p) const noexcept { std::free(p); }
    };
    // From malloc, so that growing can realloc: a large block is then moved by remapping its pages, not
    // by copying them into fresh ones.
    std::unique_ptr<char[], release> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::u16string units_;
};

}  // namespace tw_ini::detail
