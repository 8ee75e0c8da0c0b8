// Every copy of the core this CPU can run, in one process, on every known
// answer of the module's functions: the copies must agree on each outcome
// (result, error report or abort message) and match the known answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/cpu.h"
#include "sdk/operation_table.h"
#include "vector_file.h"

namespace lumora::sdk {
namespace {

using Args = std::vector<std::string>;

struct Outcome {
    std::string kind;  // "result", "error" or "abort"
    std::string text;  // the result, the error's report or the abort's message
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) { return os << o.kind << ": " << o.text; }

template <class T>
Outcome outcome_of(Result<T> r) {
    if (!r.ok()) return {"error", r.error().report()};
    if constexpr (std::is_same_v<T, bool>) {
        return {"result", r.value() ? "true" : "false"};
    } else {
        return {"result", std::move(r).value()};
    }
}

template <class R, class... P, std::size_t... I>
Outcome call_with(R (*f)(P...), const Args& a, std::index_sequence<I...>) {
    try {
        return outcome_of(f(std::string_view(a.at(I))...));
    } catch (const Abort& abort) {
        return {"abort", abort.message()};
    }
}

template <class R, class... P>
Outcome call(R (*f)(P...), const Args& a) {
    EXPECT_EQ(a.size(), sizeof...(P));
    return call_with(f, a, std::index_sequence_for<P...>{});
}

using Call = Outcome (*)(const OperationTable&, const Args&);

#define LUMORA_OPERATION(result, name, ...) \
    {#name, [](const OperationTable& t, const Args& a) { return call(t.name, a); }},

const std::map<std::string, Call> OPERATIONS = {LUMORA_SDK_OPERATIONS(LUMORA_OPERATION)};

#undef LUMORA_OPERATION

struct Copy {
    std::string_view name;
    const OperationTable* table;
};

// The copies this build has whose instructions this CPU offers.
std::vector<Copy> runnable_copies() {
    std::vector<Copy> copies;
    for (cpu::FieldCopy copy : cpu::FIELD_COPIES)
        if (cpu::built(copy) && cpu::runs(copy, cpu::features())) copies.push_back({cpu::copy_name(copy), operation_table(copy)});
    return copies;
}

// The module puts its context ("Couldn't get hash: ") in front of an error's
// report; an abort's message is raised as it is. `prefix` cases fix only the
// start of the message.
bool matches_message(const Outcome& o, const std::string& expected, bool prefix) {
    auto fits = [&](std::string_view want) {
        return prefix ? std::string_view(o.text).starts_with(want) : o.text == want;
    };
    if (o.kind == "abort") return fits(expected);
    const std::size_t colon = expected.find(": ");
    return colon != std::string::npos && fits(std::string_view(expected).substr(colon + 2));
}

TEST(OperationTables, EveryRunnableCopyGivesTheKnownAnswers) {
    const std::vector<Copy> copies = runnable_copies();
#if defined(__x86_64__)
    // The portable and baseline copies run on every x86-64 CPU.
    ASSERT_GE(copies.size(), 2u);
#else
    ASSERT_GE(copies.size(), 1u);
#endif
    const testing::JsonValue file = testing::load_vector_file("functions.json");
    const auto& functions = file["functions"];
    ASSERT_EQ(functions.members.size(), OPERATIONS.size());
    std::size_t checked = 0;
    for (const auto& [name, function] : functions.members) {
        const auto op = OPERATIONS.find(name);
        ASSERT_NE(op, OPERATIONS.end()) << name;
        const auto& cases = (*function)["cases"];
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const auto& c = cases[i];
            Args args;
            for (const auto& a : c["args"].items) args.push_back(a.text);
            const std::string where = name + " case " + std::to_string(i) + " (" + c["tag"].text + ")";

            const Outcome first = op->second(*copies[0].table, args);
            for (std::size_t k = 1; k < copies.size(); ++k) {
                EXPECT_EQ(op->second(*copies[k].table, args), first)
                    << where << ": " << copies[k].name << " against " << copies[0].name;
            }
            if (c.members.contains("result")) {
                EXPECT_EQ(first, (Outcome{"result", c["result"].text})) << where;
            } else {
                EXPECT_NE(first.kind, "result") << where;
                EXPECT_TRUE(matches_message(first, c["message"].text, c["match"].text == "prefix"))
                    << where << ": " << first << "\nexpected: " << c["message"].text;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 300u);
}

TEST(OperationTables, EachCopyIsTheOneCompiledForItsKernels) {
    // What the constant-time check relies on to know which copy it ran: every
    // copy of the target has a table of its own, and no other copy has one.
    std::vector<const OperationTable*> tables;
    for (cpu::FieldCopy copy : cpu::FIELD_COPIES) {
        const OperationTable* table = operation_table(copy);
        ASSERT_EQ(table != nullptr, cpu::built(copy)) << cpu::copy_name(copy);
        if (table == nullptr) continue;
        EXPECT_EQ(table->copy, copy) << cpu::copy_name(copy);
        EXPECT_EQ(std::count(tables.begin(), tables.end(), table), 0) << cpu::copy_name(copy);
        tables.push_back(table);
    }
}

TEST(OperationTables, TheApiUsesTheDispatchedCopy) {
    const OperationTable* chosen = operation_table(cpu::dispatch().copy);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(&dispatched_operation_table(), chosen);
}

}  // namespace
}  // namespace lumora::sdk
