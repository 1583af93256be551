#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/packed_image.h"

namespace strobo::engine {

// The zero-based line of the operation list; -1 means no line is selected.
using CompositionOperation = std::int16_t;

// Every composition operation is one row here: its value, its line in the operation list, the
// name the command line also accepts, and what it makes of a pixel pair. Both forms of the
// composition, ComposeImages and composeImagesFast, take the operations from these rows only.
//
// A row combines either channel by channel, with `channel(a, b)` giving the new value of one of
// A's channels from that channel of A and of B, or whole packed colours, with `colour(a, b)`.
// Channel functions are written once for any number type N: the reference form runs them on
// checked signed 32-bit numbers, the fast form on bytes, and N supplies the arithmetic, including
// atMost255 and atLeast0, the clamps of a result.
namespace operations {

struct Add {
    static constexpr CompositionOperation value = 0;
    static constexpr std::string_view listText = "A + B = C";
    static constexpr std::string_view alias = "add";
    template <class N>
    static constexpr N channel(N a, N b) {
        return atMost255(a + b);
    }
};

struct Subtract {
    static constexpr CompositionOperation value = 1;
    static constexpr std::string_view listText = "A - B = C";
    static constexpr std::string_view alias = "sub";
    template <class N>
    static constexpr N channel(N a, N b) {
        return atLeast0(a - b);
    }
};

struct Multiply {
    static constexpr CompositionOperation value = 2;
    static constexpr std::string_view listText = "A * B = C";
    static constexpr std::string_view alias = "mul";
    template <class N>
    static constexpr N channel(N a, N b) {
        return atMost255(a * b);
    }
};

struct Divide {
    static constexpr CompositionOperation value = 3;
    static constexpr std::string_view listText = "A / B = C";
    static constexpr std::string_view alias = "div";
    // A zero on either side gives 0, so nothing is ever divided by zero: a zero divisor gives 0,
    // not 255. The quotient truncates toward zero.
    template <class N>
    static constexpr N channel(N a, N b) {
        return a != 0 && b != 0 ? atLeast0(a / b) : N{0};
    }
};

struct ChannelMax {
    static constexpr CompositionOperation value = 4;
    static constexpr std::string_view listText = "RGB最大値";
    static constexpr std::string_view alias = "rgbmax";
    template <class N>
    static constexpr N channel(N a, N b) {
        return a < b ? b : a;
    }
};

struct ChannelMin {
    static constexpr CompositionOperation value = 5;
    static constexpr std::string_view listText = "RGB最小値";
    static constexpr std::string_view alias = "rgbmin";
    template <class N>
    static constexpr N channel(N a, N b) {
        return a < b ? a : b;
    }
};

// The whole packed values compare as signed 32-bit integers, so blue dominates, then green, then
// red; a point outside a surface (-1) is the smallest value.
struct Max {
    static constexpr CompositionOperation value = 6;
    static constexpr std::string_view listText = "最大値";
    static constexpr std::string_view alias = "max";
    static constexpr PackedColor colour(PackedColor a, PackedColor b) { return a < b ? b : a; }
};

struct Min {
    static constexpr CompositionOperation value = 7;
    static constexpr std::string_view listText = "最小値";
    static constexpr std::string_view alias = "min";
    static constexpr PackedColor colour(PackedColor a, PackedColor b) { return a < b ? a : b; }
};

// Values outside the list are not errors. With no line selected (any negative value) A's colour
// is split and rebuilt with no channel changed, which clears bits 24-31 (-1 becomes 16777215);
// a value past the last line gives A's value as read.
struct NoSelection {
    template <class N>
    static constexpr N channel(N a, N) {
        return a;
    }
};

struct PastTheList {
    static constexpr PackedColor colour(PackedColor a, PackedColor) { return a; }
};

template <class... Rows>
struct RowList {
    static constexpr int size = sizeof...(Rows);
};

using AllRows = RowList<Add, Subtract, Multiply, Divide, ChannelMax, ChannelMin, Max, Min>;

template <class Row>
concept WholeColourRow = requires(PackedColor a) {
    { Row::colour(a, a) } -> std::same_as<PackedColor>;
};

}  // namespace operations

constexpr int kOperationCount = operations::AllRows::size;

namespace operations {

// True when the rows' values are 0 to kOperationCount - 1, each exactly once, so that every
// table indexed by an operation's value is full.
template <class... Rows>
constexpr bool coversEveryValueOnce(RowList<Rows...>) {
    std::array<int, kOperationCount> rowsWithValue{};
    for (const int value : {static_cast<int>(Rows::value)...}) {
        if (value < 0 || value >= kOperationCount) return false;
        ++rowsWithValue[value];
    }
    for (const int count : rowsWithValue) {
        if (count != 1) return false;
    }
    return true;
}
static_assert(coversEveryValueOnce(AllRows{}),
              "every operation value from 0 to kOperationCount - 1 needs exactly one row");

// Lays out one member of every row at the row's value.
template <class T, class... Rows, class Member>
constexpr std::array<T, kOperationCount> byValue(RowList<Rows...>, Member member) {
    std::array<T, kOperationCount> table{};
    ((table[Rows::value] = member(Rows{})), ...);
    return table;
}

// Calls f with the row that stands for `op`, values outside the list included.
template <class F>
constexpr void visit(CompositionOperation op, F&& f) {
    if (op < 0) {
        f(NoSelection{});
    } else if (op >= kOperationCount) {
        f(PastTheList{});
    } else {
        [&]<class... Rows>(RowList<Rows...>) {
            static_cast<void>(((op == Rows::value ? (f(Rows{}), true) : false) || ...));
        }(AllRows{});
    }
}

}  // namespace operations

constexpr CompositionOperation kOperationNone = -1;
constexpr CompositionOperation kOperationAdd = operations::Add::value;
constexpr CompositionOperation kOperationSubtract = operations::Subtract::value;
constexpr CompositionOperation kOperationMultiply = operations::Multiply::value;
constexpr CompositionOperation kOperationDivide = operations::Divide::value;
constexpr CompositionOperation kOperationChannelMax = operations::ChannelMax::value;
constexpr CompositionOperation kOperationChannelMin = operations::ChannelMin::value;
constexpr CompositionOperation kOperationMax = operations::Max::value;
constexpr CompositionOperation kOperationMin = operations::Min::value;

// The lines of the operation list in order, and the command line's names for them.
inline constexpr std::array<std::string_view, kOperationCount> kOperationListTexts =
    operations::byValue<std::string_view>(operations::AllRows{},
                                          [](auto row) { return decltype(row)::listText; });
inline constexpr std::array<std::string_view, kOperationCount> kOperationAliases =
    operations::byValue<std::string_view>(operations::AllRows{},
                                          [](auto row) { return decltype(row)::alias; });

// Accepts a list text exactly as shown, or an alias in any ASCII letter case.
std::optional<CompositionOperation> parseOperation(std::string_view text);

}  // namespace strobo::engine
