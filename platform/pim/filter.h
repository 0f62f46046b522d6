// filter.h: the restriction language of the object model (Restrict, Find).
//
//   [Start] >= "03/04/2024" AND [Start] < "03/18/2024"
//   [Complete] = 0 AND [DueDate] < "2024/03/05"
//   [Categories] = "Work" OR [Subject] <> "Lunch"
//
// A restriction compares bracketed property names with quoted texts, quoted dates (with an
// optional 24-hour "HH:MM[:SS]" time) or numbers, with = <> < <= > >=, joined by AND and OR
// (AND binds tighter; parentheses group). Dates follow the user locale's short-date order
// (LOCALE_IDATE): 0 month/day/year, 1 day/month/year, 2 year/month/day. Texts compare without
// regard to case; [Categories] = "X" holds when X is one of the item's comma-separated
// categories. As documented, a comparison only holds when the item has a value for the
// property: an empty text or an unset date never matches, whatever the operator.
//
// Inside the platform only.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pim/item.h"

namespace ce::pim {

enum class Op { Eq, Ne, Lt, Le, Gt, Ge };

struct FilterNode {
    enum class Type { And, Or, Compare } type = Type::Compare;
    std::vector<std::unique_ptr<FilterNode>> children; // And, Or
    const PropInfo* prop = nullptr;                    // Compare
    Op op = Op::Eq;
    std::u16string text; // text operand
    int64_t value = 0;   // date (local FILETIME units) or number operand
};

class Filter {
public:
    // Parses text for items of the given kind; false with a reason in *error for a syntax
    // error, an unknown property, an operand of the wrong type or an impossible date.
    bool parse(std::u16string_view text, Kind kind, int dateOrder, std::string* error);
    bool matches(const Item& item) const;
    bool empty() const { return !root_; }

    // The range of [Start] that every matching item must lie in, as far as the top-level AND
    // chain tells: [*lo, *hi). Unbounded sides stay INT64_MIN / INT64_MAX.
    void startBounds(int64_t* lo, int64_t* hi) const;

private:
    std::shared_ptr<const FilterNode> root_;
};

// The short-date order of the user's locale (LOCALE_IDATE): 0, 1 or 2.
int userDateOrder();

// Parses one date as restrictions write it ("03/18/2024", "18/03/2024 20:30", "2024/03/18"),
// in local FILETIME units; false when it is not a valid date in that order.
bool parseFilterDate(std::u16string_view text, int dateOrder, int64_t* local);

} // namespace ce::pim
