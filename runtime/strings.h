// String and number functions with the runtime's exact results.
#pragma once

#include <string>
#include <string_view>

#include "runtime/item.h"

namespace krx {

// STR(n[, len[, dec]]): right-aligned in `len` (default 10), rounded to `dec`
// decimals (default 0 for whole numbers); asterisks when it does not fit.
std::string STR(double n);
std::string STR(double n, int len);
std::string STR(double n, int len, int dec);
double VAL(std::string_view s);      // leading blanks skipped; blanks give 0
double ROUND(double n, int dec);     // half away from zero
double INT(double n);                // toward zero
std::string SUBSTR(std::string_view s, int start);
std::string SUBSTR(std::string_view s, int start, int count);
std::string LEFT(std::string_view s, int n);
std::string RIGHT(std::string_view s, int n);
std::string UPPER(std::string_view s);
std::string LOWER(std::string_view s);
std::string ALLTRIM(std::string_view s);
std::string LTRIM(std::string_view s);
std::string RTRIM(std::string_view s);
inline std::string TRIM(std::string_view s) { return RTRIM(s); }
std::string PADL(std::string_view s, int n, char fill = ' ');
std::string PADR(std::string_view s, int n, char fill = ' ');
std::string SPACE(int n);
std::string REPLICATE(std::string_view s, int n);
std::string STRTRAN(std::string_view s, std::string_view find, std::string_view replace);
int AT(std::string_view needle, std::string_view haystack);  // from 1; 0 when absent
std::string CHR(int code);
int ASC(std::string_view s);
// TRANSFORM(value, ""): the value's default text form.
std::string TRANSFORM(const Item& value, std::string_view picture);
// Word wrap at blanks within `width` (tab size and wrap flag as the runtime's).
int MLCOUNT(std::string_view text, int width);
std::string MEMOLINE(std::string_view text, int width, int line);
// A text form of any value.
std::string VAR2CHAR(const Item& value);
// How QOUT and DEVOUT write a value: numbers as STR gives them, logicals .T.
// and .F., nil as NIL, dates in the current date format, and so on.
std::string displayForm(const Item& value);
// EMPTY(value): nil, 0, blanks-only text, .F., the empty date or array.
bool EMPTY(const Item& value);

}  // namespace krx
