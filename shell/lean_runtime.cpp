// The program catches no exceptions: running out of memory or asking for an impossible size ends
// it either way. Ending it at once, instead of throwing, keeps the C++ library's exception and
// message-string code (and the thread library the unwinder needs) out of the exe.
#include <cstdlib>
#include <new>

#if defined(__GLIBCXX__)

void* operator new(std::size_t size)
{
    if (void* memory = std::malloc(size != 0 ? size : 1))
        return memory;
    std::abort();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl58-cpp): these replace the library's own definitions.
namespace std {
void __throw_bad_alloc()
{
    std::abort();
}
void __throw_bad_array_new_length()
{
    std::abort();
}
void __throw_length_error(const char*)
{
    std::abort();
}
void __throw_logic_error(const char*)
{
    std::abort();
}
}  // namespace std
// NOLINTEND(bugprone-reserved-identifier,cert-dcl58-cpp)

#endif
