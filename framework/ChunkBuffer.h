#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

// Leaves the elements a vector grows by uninitialised: a chunk buffer overwrites them at once, and
// clearing a whole bank before copying it in cost as much as the copy.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <typename U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// Growable byte buffer for state, programs, banks and files. Values go in native byte order;
// strings as a 32-bit length and their bytes. Readers answer the position after what they read,
// or -1 when the bytes are not there, and never read outside the buffer.
class ChunkBuffer {
 public:
  ChunkBuffer() = default;
  // Copies own their bytes, also copies of a borrowing buffer.
  ChunkBuffer(const ChunkBuffer& other) : mBytes(other.Data(), other.Data() + other.Size()) {}
  ChunkBuffer& operator=(const ChunkBuffer& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }
  ChunkBuffer(ChunkBuffer&&) noexcept = default;
  ChunkBuffer& operator=(ChunkBuffer&&) noexcept = default;

  // A buffer that reads size bytes at data without copying them, for parsing a large block that
  // is read once (the factory bank, a file just read): copying it first touched as much fresh
  // memory as all the programs it holds. The bytes must outlive the buffer and stay unchanged;
  // the first write copies them in.
  static ChunkBuffer Borrowing(const std::uint8_t* data, std::size_t size) {
    ChunkBuffer chunk;
    chunk.mBorrowed = data;
    chunk.mBorrowedSize = data ? size : 0;
    return chunk;
  }

  // From now on reads size bytes at data in place, as Borrowing does, keeping the capacity this
  // buffer has for its first write.
  void Borrow(const std::uint8_t* data, std::size_t size) {
    mBytes.clear();
    mBorrowed = data;
    mBorrowedSize = data ? size : 0;
  }

  template <typename T>
  int PutBytes(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    return PutRaw(&value, sizeof(T));
  }

  template <typename T>
  int GetBytes(T* value, int position) const {
    static_assert(std::is_trivially_copyable_v<T>);
    if (!Available(position, sizeof(T))) return -1;
    std::memcpy(value, Data() + position, sizeof(T));
    return position + static_cast<int>(sizeof(T));
  }

  int PutRaw(const void* data, std::size_t size);
  int PutString(std::string_view text);
  int GetString(std::string* text, int position) const;

  // Keeps the capacity, so a buffer sized once can be refilled without allocating.
  void Clear() {
    mBorrowed = nullptr;
    mBorrowedSize = 0;
    mBytes.clear();
  }
  void Resize(int size);
  void Reserve(int size);
  int Capacity() const { return static_cast<int>(mBytes.capacity()); }
  int PutChunk(const ChunkBuffer& other) { return PutRaw(other.Data(), other.Size()); }
  void CopyFrom(const ChunkBuffer& other) {
    if (&other == this) return;
    const std::uint8_t* data = other.Data();
    const std::size_t size = other.ByteCount();
    mBorrowed = nullptr;
    mBorrowedSize = 0;
    mBytes.assign(data, data + size);
  }

  int Size() const { return static_cast<int>(ByteCount()); }
  const std::uint8_t* Data() const { return mBorrowed ? mBorrowed : mBytes.data(); }
  std::uint8_t* Data() {
    Own();
    return mBytes.data();
  }

  // True when size bytes can be read at position.
  bool Available(int position, std::size_t size) const {
    const std::size_t count = ByteCount();
    return position >= 0 && static_cast<std::size_t>(position) <= count &&
           count - static_cast<std::size_t>(position) >= size;
  }

 private:
  std::size_t ByteCount() const { return mBorrowed ? mBorrowedSize : mBytes.size(); }
  // Before any write: a borrowing buffer takes a copy of its bytes.
  void Own() {
    if (!mBorrowed) return;
    mBytes.assign(mBorrowed, mBorrowed + mBorrowedSize);
    mBorrowed = nullptr;
    mBorrowedSize = 0;
  }

  std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>> mBytes;
  const std::uint8_t* mBorrowed = nullptr;
  std::size_t mBorrowedSize = 0;
};

// Every chunk the framework hands out opens with these four characters and a version word in
// native order, so a reader can tell a framework chunk from an older bare state.
inline constexpr char kChunkMagic[4] = {'t', 'f', 'f', 'p'};
inline constexpr std::int32_t kChunkVersion = 0x00010000;
inline constexpr int kChunkVersionMagicSize = 8;

// Clears the chunk and writes the magic and version.
void BeginVersionedChunk(ChunkBuffer& chunk);

// When the magic stands at *position, answers the version and moves *position past it (to -1
// when the version word is cut off, answering 0). Without the magic answers 0 and leaves
// *position alone.
std::int32_t ReadChunkVersion(const ChunkBuffer& chunk, int* position);

// True when the magic stands at position.
bool HasChunkMagic(const std::uint8_t* data, std::size_t size, std::size_t position);
