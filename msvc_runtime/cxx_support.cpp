// What MSVC's static C++ runtime would put into each of our binaries, for
// the MSVC-ABI build made with clang and lld-link on Debian: the allocation
// operators (over the Universal C runtime's malloc and free), std::nothrow,
// std::bad_alloc, the table of type_info's virtual operations that every
// type descriptor points at, and _fltused. Exception handling itself comes
// from vcruntime140.dll, which every MSVC-built host has.
#include <cstddef>
#include <cstdlib>
#include <new>

// ---- std::nothrow, std::exception, std::bad_alloc ---------------------------
// Only the module itself ever sees these: nothing is thrown across a module
// boundary, so their layout has to agree with nobody else's.
namespace std {
const nothrow_t nothrow{};

exception::~exception() noexcept {}
const char* exception::what() const noexcept { return "std::exception"; }
bad_alloc::bad_alloc() noexcept {}
bad_alloc::~bad_alloc() noexcept {}
const char* bad_alloc::what() const noexcept { return "std::bad_alloc"; }
}  // namespace std

// ---- operator new and delete ------------------------------------------------
namespace {
void* allocate(std::size_t size) noexcept { return std::malloc(size == 0 ? 1 : size); }
}  // namespace

void* operator new(std::size_t size)
{
    void* block = allocate(size);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

// ---- type_info's table of virtual operations ---------------------------------
// Each type descriptor the compiler emits for exception handling (and RTTI)
// starts with a pointer to this table. The runtime compares descriptors by
// their names and never calls through the table; its one entry, the
// destructor, is never called: descriptors are static data.
namespace {
void typeInfoDestructor() {}
}  // namespace
extern "C" const void* const zelm_type_info_table[] __asm__("??_7type_info@@6B@");
extern "C" const void* const zelm_type_info_table[] = {reinterpret_cast<const void*>(&typeInfoDestructor)};

// The compiler references _fltused from every object that uses floating
// point; MSVC's runtime defines it to mark floating-point support as linked.
extern "C" int _fltused = 0x9875;
