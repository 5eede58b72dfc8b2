// Portable platform layer: NaN, random numbers and the replaceable millisecond tick count.
#include "zrparser/ZrPlatform.h"

#include <atomic>
#include <bit>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include <langinfo.h>

namespace zr {

double nan()
{
    return std::bit_cast<double>(std::uint64_t{0x7FFFFFFFFFFFFFFFull});
}

int rand()
{
    return std::rand() & 0x7FFF;
}

namespace {

std::uint64_t steadyClockMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::atomic<TickSource> currentTickSource{&steadyClockMs};

} // namespace

std::uint64_t tickCount()
{
    return currentTickSource.load(std::memory_order_relaxed)();
}

void setTickSource(TickSource source)
{
    currentTickSource.store(source ? source : &steadyClockMs, std::memory_order_relaxed);
}

std::wstring toUpper(const std::wstring& text)
{
    std::wstring upper = text;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return upper;
}

std::optional<wchar_t> localeDecimalPoint()
{
    // nl_langinfo and mbrtowc follow the locale the calling thread selected with uselocale.
    const char* radix = nl_langinfo(RADIXCHAR);
    if (!radix || !*radix)
        return std::nullopt;
    wchar_t c = 0;
    std::mbstate_t state{};
    const std::size_t n = std::mbrtowc(&c, radix, std::strlen(radix), &state);
    if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2) || c == 0)
        return std::nullopt;
    return c;
}

} // namespace zr
