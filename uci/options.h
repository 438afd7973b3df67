// The engine's UCI options, each registered once in one table: the handshake, SETOPTION, the
// error for a bad value and the README's table of options all come from it.
#pragma once

#include <cstdint>
#include <string>

#include "think/think.h"

enum class OptionType { Spin, Check, Button };

// One option: how the controller sees it, and what a change does.
struct Option {
    const char* name;
    OptionType type;
    int32_t defaultValue, min, max;  // a check is 0 or 1; a button has no value
    const char* meaning;             // a line for the README's table
    void (*changed)(int32_t value);  // what a change does beyond the value itself, or nullptr
    int32_t value;                   // the current value
};

// The rows of the table, in the order of the handshake.
enum OptionId {
    HashOption,
    ClearHashOption,
    ThreadsOption,
    PonderOption,
    MultiPvOption,
    MoveOverheadOption,
    LimitStrengthOption,
    EloOption,
    Chess960Option,
    OptionCount
};

extern Option Options[OptionCount];

// An option with nothing to choose (a spin whose minimum is its maximum, as Threads in the
// browser build) is not offered.
bool IsOffered(const Option& option);

// The handshake's "option name ..." line of an offered option.
std::string OptionLine(const Option& option);

// The README's table of options, in Markdown, one row per offered option after the header.
std::string OptionsTable();

// What SETOPTION made of its name and value.
enum class SetOptionResult {
    Done,       // set (a number out of range clamped to it), or a button pressed
    Unknown,    // no option has that name: ignored
    NotNumber,  // a spin's value is not a whole number
};
// Sets the option named `name` (in any case, with its spaces) from `value`: a spin takes the
// whole number that is the value's first word, a check is on for "true" in any case and off
// otherwise, a button ignores it.
SetOptionResult SetOption(const std::string& name, const std::string& value);

// The options a search reads, as they stand now.
SearchOptions CurrentSearchOptions();
