#pragma once
#include <string>
#include <string_view>

// Win32 strings are UTF-16 like ours; only the element type differs. These
// views let a u16string cross the boundary without a copy.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wchar_t is 16 bits");

inline const wchar_t* AsWide(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline const wchar_t* AsWide(const char16_t* s) {
  return reinterpret_cast<const wchar_t*>(s);
}
inline wchar_t* AsWideBuffer(std::u16string& s) {
  return reinterpret_cast<wchar_t*>(s.data());
}
inline const char16_t* AsU16(const wchar_t* s) {
  return reinterpret_cast<const char16_t*>(s);
}
inline std::u16string ToU16(const wchar_t* s, std::size_t n) {
  return std::u16string(reinterpret_cast<const char16_t*>(s), n);
}
inline std::u16string ToU16(const wchar_t* s) {
  return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
}
