// trelvar-bench-allocs.so: counts the heap allocations of a program it is
// preloaded into (LD_PRELOAD), for the benchmark's allocations-per-line
// figure. Every call of malloc, calloc, realloc and the aligned forms counts
// once (operator new comes through malloc); the calls go on to the C
// library's own functions.
//
// When the program ends through its exit handlers, the count is appended as
// "PID COUNT\n" to the file named by TRELVAR_BENCH_ALLOC_FILE (nothing
// without it; a program that ends by _exit or a signal leaves no line).
// Thread-safe: the counter is atomic; the real functions are looked up while
// the library loads, before the program can start a thread.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

using MallocFn = void* (*)(size_t);
using CallocFn = void* (*)(size_t, size_t);
using ReallocFn = void* (*)(void*, size_t);
using FreeFn = void (*)(void*);
using AlignedFn = void* (*)(size_t, size_t);
using PosixMemalignFn = int (*)(void**, size_t, size_t);

MallocFn real_malloc = nullptr;
CallocFn real_calloc = nullptr;
ReallocFn real_realloc = nullptr;
FreeFn real_free = nullptr;
AlignedFn real_aligned_alloc = nullptr;
AlignedFn real_memalign = nullptr;
PosixMemalignFn real_posix_memalign = nullptr;

std::atomic<unsigned long long> allocations{0};

// dlsym itself may allocate before the real functions are known: those few
// blocks come from here (zeroed, as calloc's must be) and are never freed.
alignas(64) char bootstrap[16384];
size_t bootstrap_used = 0;
bool resolving = false;

void* FromBootstrap(size_t size) {
  size = (size + 63) & ~static_cast<size_t>(63);
  if (size > sizeof bootstrap - bootstrap_used) return nullptr;
  void* block = bootstrap + bootstrap_used;
  bootstrap_used += size;
  return block;
}

bool InBootstrap(const void* p) {
  return p >= static_cast<const void*>(bootstrap) &&
         p < static_cast<const void*>(bootstrap + sizeof bootstrap);
}

template <typename T>
T Next(const char* name) {
  return reinterpret_cast<T>(dlsym(RTLD_NEXT, name));
}

void Resolve() {
  if (real_malloc != nullptr || resolving) return;
  resolving = true;
  real_calloc = Next<CallocFn>("calloc");
  real_realloc = Next<ReallocFn>("realloc");
  real_free = Next<FreeFn>("free");
  real_aligned_alloc = Next<AlignedFn>("aligned_alloc");
  real_memalign = Next<AlignedFn>("memalign");
  real_posix_memalign = Next<PosixMemalignFn>("posix_memalign");
  real_malloc = Next<MallocFn>("malloc");
  resolving = false;
}

void Count() { allocations.fetch_add(1, std::memory_order_relaxed); }

__attribute__((constructor)) void Start() { Resolve(); }

// Written without the heap: it may be gone by now.
__attribute__((destructor)) void Report() {
  const char* path = std::getenv("TRELVAR_BENCH_ALLOC_FILE");
  if (path == nullptr || *path == '\0') return;
  char text[64];
  char* end = text + sizeof text;
  char* at = end;
  *--at = '\n';
  unsigned long long n = allocations.load();
  do {
    *--at = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  *--at = ' ';
  long pid = static_cast<long>(getpid());
  do {
    *--at = static_cast<char>('0' + pid % 10);
    pid /= 10;
  } while (pid != 0);
  const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t ignored = write(fd, at, static_cast<size_t>(end - at));
  (void)ignored;
  close(fd);
}

}  // namespace

extern "C" {

void* malloc(size_t size) {
  Resolve();
  if (real_malloc == nullptr) return FromBootstrap(size);
  Count();
  return real_malloc(size);
}

void* calloc(size_t count, size_t size) {
  Resolve();
  if (real_calloc == nullptr) {
    if (size != 0 && count > static_cast<size_t>(-1) / size) return nullptr;
    return FromBootstrap(count * size);
  }
  Count();
  return real_calloc(count, size);
}

void* realloc(void* p, size_t size) {
  Resolve();
  if (InBootstrap(p)) {
    // Its old size is unknown; what lies between it and the arena's end is
    // at least as long.
    void* moved = malloc(size);
    const size_t room = static_cast<size_t>(bootstrap + sizeof bootstrap - static_cast<char*>(p));
    if (moved != nullptr) std::memcpy(moved, p, size < room ? size : room);
    return moved;
  }
  if (real_realloc == nullptr) return FromBootstrap(size);
  Count();
  return real_realloc(p, size);
}

void free(void* p) {
  if (p == nullptr || InBootstrap(p)) return;
  Resolve();
  if (real_free != nullptr) real_free(p);
}

void* aligned_alloc(size_t alignment, size_t size) {
  Resolve();
  Count();
  return real_aligned_alloc(alignment, size);
}

void* memalign(size_t alignment, size_t size) {
  Resolve();
  Count();
  return real_memalign(alignment, size);
}

int posix_memalign(void** p, size_t alignment, size_t size) {
  Resolve();
  Count();
  return real_posix_memalign(p, alignment, size);
}

}  // extern "C"
