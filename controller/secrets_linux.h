#pragma once

// The keyring item that holds the settings key: one item of this schema with this attribute,
// in the default collection of the desktop user's Secret Service keyring.
namespace secretkey {

inline constexpr char schemaName[] = "org.orvikvpn.Client.SettingsKey";
inline constexpr char attributeName[] = "purpose";
inline constexpr char attributeValue[] = "settings";

// First byte of every protected value, so the format can change later.
inline constexpr unsigned char formatVersion = 1;

} // namespace secretkey
