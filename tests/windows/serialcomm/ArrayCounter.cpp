// Counts the arrays allocated with new[] in this test program (the
// component's blocks among them), so tests can prove every block is freed.
#include <atomic>
#include <cstdlib>
#include <new>

namespace pos::test {
std::atomic<long> liveArrays{0};
long LiveArrays() {
  return liveArrays.load();
}
} // namespace pos::test

void *operator new[](std::size_t size) {
  void *p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) {
    throw std::bad_alloc();
  }
  ++pos::test::liveArrays;
  return p;
}

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
  void *p = std::malloc(size == 0 ? 1 : size);
  if (p != nullptr) {
    ++pos::test::liveArrays;
  }
  return p;
}

void operator delete[](void *p) noexcept {
  if (p != nullptr) {
    --pos::test::liveArrays;
    std::free(p);
  }
}

void operator delete[](void *p, std::size_t) noexcept {
  operator delete[](p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept {
  operator delete[](p);
}
