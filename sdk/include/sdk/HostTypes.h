#pragma once
// Basic scalar and handle types of the host, as the plug-in code spells them.
#include <cstdint>
#include <string>

using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using USHORT = std::uint16_t;
using UINT = std::uint32_t;
using BOOL = int;
using DWORD_PTR = std::uintptr_t;
using TimeValue = int;
using MCHAR = wchar_t;
using MSTR = std::wstring;
using WStr = std::wstring;
using SClass_ID = ULONG;
using StringResID = int;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define _M(s) L##s

// Opaque handles. A window handle names a viewport; a module handle names a loaded plug-in module.
struct HostWindow;
struct HostModule;
struct HostCursor;
using HWND = HostWindow*;
using HINSTANCE = HostModule*;
using HMODULE = HostModule*;
using HCURSOR = HostCursor*;

constexpr TimeValue TIME_NegInfinity = INT32_MIN;
constexpr TimeValue TIME_PosInfinity = INT32_MAX;

class Class_ID {
public:
    constexpr Class_ID() = default;
    constexpr Class_ID(ULONG a, ULONG b) : a_(a), b_(b) {}
    constexpr ULONG PartA() const { return a_; }
    constexpr ULONG PartB() const { return b_; }
    constexpr bool operator==(const Class_ID&) const = default;
private:
    ULONG a_ = 0, b_ = 0;
};
using Interface_ID = Class_ID;

// An interval of animation time, [start, end].
class Interval {
public:
    constexpr Interval() = default;
    constexpr Interval(TimeValue s, TimeValue e) : start_(s), end_(e) {}
    constexpr TimeValue Start() const { return start_; }
    constexpr TimeValue End() const { return end_; }
    constexpr bool operator==(const Interval&) const = default;
private:
    TimeValue start_ = 0, end_ = 0;
};
#define FOREVER Interval(TIME_NegInfinity, TIME_PosInfinity)
