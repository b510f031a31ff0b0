// String and number functions with the runtime's exact results.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runtime/lang/item.h"

namespace krx {

// STR(n[, len[, dec]]): right-aligned in `len` (default 10), rounded to `dec`
// decimals (default 0 for whole numbers); asterisks when it does not fit.
std::string STR(double n);
std::string STR(double n, int len);
std::string STR(double n, int len, int dec);
// The longest text the runtime builds at a user's request; longer is a
// runtime error (EG_STROVERFLOW), so no input can exhaust memory.
inline constexpr int kMaxStringLength = 65535;

double VAL(std::string_view s);
// A decimal number ("12.5", "-3") read exactly as the C locale reads it,
// whatever the process's locale; `outOfRange` tells of overflow and underflow.
double readDecimal(std::string_view text,
                   bool* outOfRange = nullptr);  // leading blanks skipped; blanks give 0
double ROUND(double n, int dec);                 // half away from zero
double INT(double n);                            // toward zero
std::string SUBSTR(std::string_view s, int start);
std::string SUBSTR(std::string_view s, int start, int count);
std::string LEFT(std::string_view s, int n);
std::string RIGHT(std::string_view s, int n);
std::string UPPER(std::string_view s);
std::string LOWER(std::string_view s);
std::string ALLTRIM(std::string_view s);
std::string LTRIM(std::string_view s);
std::string RTRIM(std::string_view s);
inline std::string TRIM(std::string_view s) {
  return RTRIM(s);
}
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

// --- Dates ------------------------------------------------------------------
// Dates are Julian day numbers; 0 is the empty date.
struct DateParts {
  int year = 0, month = 0, day = 0;  // all 0 for the empty date
};
// The date of a calendar day; the empty date when there is no such day.
Date makeDate(int year, int month, int day);
DateParts splitDate(Date d);
// Writes `d` in a format such as "mm/dd/yy" or "dd.mm.yyyy": a run of n
// letters y, m or d (either case) shows the last n digits of that part;
// other characters stand as they are. The empty date shows blanks for digits.
std::string formatDate(Date d, std::string_view format);
// Reads a date written in `format` (the text of a date field, too): the empty
// date for a text with no digits where the format has them, nullopt for an
// impossible date or one with a part left blank. Two-digit years read as 1950
// to 2049.
std::optional<Date> parseDate(std::string_view text, std::string_view format);

}  // namespace krx
