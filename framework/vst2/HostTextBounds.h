#pragma once

#include <cstddef>

#include "framework/vst2/VstInterface.h"

// How many bytes, terminating NUL included, the plug-in ever writes into a text buffer a host
// hands it. The host never says how large its buffer is, so each bound is a promise we make.
//
// What the published interface promises the plug-in: 8 bytes for a parameter's name, label and
// display, 24 for a program name, 32 for the effect name, 64 for vendor and product strings.
// Writing past what a host allocated corrupts the host's memory, not ours.
//
// What our texts need: parameter names reach 21 characters ("Small Bongo Frequency"; the
// parameter record holds up to 31), displays 10 ("120.000000"), unit labels are short unit
// names, and two factory program names differ only in their 24th character, so a program name
// cut to 23 characters would make them look the same in a host's list.
//
// What hosts provide today: the plug-in frameworks most plug-ins are built with have long written
// parameter names of up to 32 characters and displays, labels and program names of up to 24 into
// these buffers, each followed by its NUL. A host with smaller buffers would be corrupted by most
// plug-ins on the market, so every host in use provides at least 33 and 25 bytes.
//
// So: where our texts fit the published size we keep to it; where they do not, we go as far as
// keeps them whole and no further than those long-proven sizes.
namespace host_text {

// Parameter names are whole up to the 31 characters the parameter record can hold.
constexpr std::size_t kParamName = 32;
// Unit labels ("Hz", "ms", "dB") fit the published size.
constexpr std::size_t kParamLabel = kVstMaxParamStrLen;
// Displays are whole up to 23 characters, more than twice what any of ours needs.
constexpr std::size_t kParamDisplay = 24;
// 24 characters keep the factory names apart; longer user names are cut at the 24th.
constexpr std::size_t kProgramName = kVstMaxProgNameLen + 1;
constexpr std::size_t kEffectName = kVstMaxEffectNameLen;
constexpr std::size_t kVendor = kVstMaxVendorStrLen;
constexpr std::size_t kProduct = kVstMaxProductStrLen;
// Labels inside records the host passes us are bounded by the record's own field.
constexpr std::size_t kPinLabel = kVstMaxLabelLen;
constexpr std::size_t kKeyName = kVstMaxNameLen;

static_assert(kParamName >= 22, "the longest parameter name must stay whole");
static_assert(kParamDisplay >= 11, "the longest display must stay whole");
static_assert(kProgramName >= 25, "factory program names must stay apart");
static_assert(kParamName <= 33 && kParamDisplay <= 25 && kProgramName <= 25,
              "no further than the sizes hosts have long been given");

}  // namespace host_text
