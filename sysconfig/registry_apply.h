// Carrying out the script's registry blocks on the registry seam, and the install log lines of
// the keys they create.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"
#include "records/config_records.h"
#include "script/macros.h"

namespace qm {

// Expands a known path macro wherever one begins; an unknown "$NAME$" stays as written.
std::string expandRegistryText(const MacroValues& macros, std::string text);

// The bytes a value of that type is written with, or nullopt for a type that is never written
// (REG_LINK and the resource lists). Texts get their terminating zero; a REG_MULTI_SZ is a list
// holding the one text.
std::optional<std::vector<uint8_t>> registryBytes(const RegistryValueRequest& value,
                                                  const std::string& data);

// Executes one value request on an existing key; false when the operation failed.
bool executeRegistryValue(Registry& registry, const MacroValues& macros, RegistryRoot root,
                          const std::string& key, const RegistryValueRequest& value);

// Executes one key request; created receives the key paths it created, each level on its own,
// parents first (also those created before a failure). false when the request failed.
bool executeRegistryRequest(Registry& registry, const MacroValues& macros,
                            const RegistryKeyRequest& request, std::vector<std::string>& created);

}  // namespace qm
