// Value conversions shared by the configuration statements and the steps that apply them: SHARE
// options, registry roots, type words and data, and the argument helpers of the readers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/config_records.h"
#include "script/statement_line.h"

namespace qm {

struct ShareValues {
  int files = 0;  // 0 when "/F:" is absent
  int locks = 0;  // 0 when "/L:" is absent
};
// Reads the "/F:" and "/L:" values of a SHARE option text or SHARE line, in any case; blanks
// after the colon are skipped. Values beyond the int range are held at its maximum.
ShareValues readShareValues(std::string_view text);

// An unsigned 32-bit number as the C library's strtoul reads it in the given base (0: decimal,
// "0x" hexadecimal, a leading "0" octal): white space, optional sign, digits up to the first
// other character; overflow gives 0xFFFFFFFF, a minus sign negates modulo 2^32.
uint32_t readUnsigned32(std::string_view text, int base);

// REG_BINARY data: every group of eight characters (a shorter last group too) read as a base-2
// number, one byte each, most significant digit first.
std::vector<uint8_t> convertBinaryDigits(std::string_view text);

std::optional<RegistryRoot> findRegistryRoot(std::string_view name);
// The root's name as scripts and install.log write it ("HKEY_LOCAL_MACHINE").
std::string registryRootText(RegistryRoot root);
// The registry value type of a type word, or 0 when the word names none.
uint32_t findRegistryType(std::string_view word);

// Replaces every occurrence of token (matched without regard to case) by value; inserted text
// is not searched again.
void replaceAllNoCase(std::string& text, std::string_view token, std::string_view value);

// Reads a quoted argument that must be present: false when no double quote opens it or the line
// ends before its closing quote. An empty pair of quotes is present (out empty).
bool readQuotedArgument(StatementLine& line, std::string& out);

}  // namespace qm
