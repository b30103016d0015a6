#include "tools/memo_server/faults.h"

#include <algorithm>

namespace tesra::tools {

namespace {

struct ModeName {
    const char* name;
    FaultMode mode;
};
constexpr ModeName kModes[] = {
    {"drop", FaultMode::kDrop},   {"reset", FaultMode::kReset}, {"empty", FaultMode::kEmpty},
    {"midbody", FaultMode::kMidBody}, {"error", FaultMode::kError}, {"ise", FaultMode::kServerError},
    {"delay", FaultMode::kDelay}, {"endless", FaultMode::kEndless}, {"binary", FaultMode::kBinary},
    {"oversize", FaultMode::kOversize}, {"page", FaultMode::kPage},
};

bool ParseCount(const Form& form, const char* name, int& out, std::string& error) {
    const std::string text = FormValue(form, name);
    if (text.empty()) return true;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || value > 100000000) {
            error = std::string("bad ") + name + ": " + text;
            return false;
        }
        value = value * 10 + (c - '0');
    }
    out = static_cast<int>(value);
    return true;
}

}  // namespace

const std::vector<std::string>& RequestKinds() {
    static const std::vector<std::string> kinds = {"setmemo",     "setini",      "delmemo",    "getini",
                                                   "getdata",     "listini",     "getmemouser", "setmemouser",
                                                   "getmemogrp",  "setmemogrp",  "login"};
    return kinds;
}

std::optional<FaultRule> ParseFaultRule(const Form& form, std::string& error) {
    FaultRule rule;
    rule.kind = FormValue(form, "kind");
    const auto& kinds = RequestKinds();
    if (rule.kind != "all" && std::find(kinds.begin(), kinds.end(), rule.kind) == kinds.end()) {
        error = "unknown kind: " + rule.kind;
        return std::nullopt;
    }
    const std::string mode = FormValue(form, "mode");
    const auto* found = std::find_if(std::begin(kModes), std::end(kModes), [&](const ModeName& m) { return mode == m.name; });
    if (found == std::end(kModes)) {
        error = "unknown mode: " + mode;
        return std::nullopt;
    }
    rule.mode = found->mode;
    rule.apply = rule.mode == FaultMode::kDelay;
    if (!ParseCount(form, "skip", rule.skip, error) || !ParseCount(form, "times", rule.times, error) ||
        !ParseCount(form, "ms", rule.ms, error))
        return std::nullopt;
    if (const std::string code = FormValue(form, "code"); !code.empty()) rule.code = code;
    if (const std::string apply = FormValue(form, "apply"); !apply.empty()) rule.apply = apply != "0";
    return rule;
}

void FaultTable::Add(const FaultRule& rule) {
    std::lock_guard lock(mutex_);
    rules_.push_back(rule);
}

void FaultTable::Clear() {
    std::lock_guard lock(mutex_);
    rules_.clear();
}

std::optional<FaultRule> FaultTable::Take(std::string_view kind) {
    std::lock_guard lock(mutex_);
    ++counts_[std::string(kind)];
    order_.emplace_back(kind);
    for (auto it = rules_.begin(); it != rules_.end(); ++it) {
        if (it->kind != kind && it->kind != "all") continue;
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        FaultRule taken = *it;
        if (it->times > 0 && --it->times == 0) rules_.erase(it);
        return taken;
    }
    return std::nullopt;
}

std::string FaultTable::Counts() const {
    std::lock_guard lock(mutex_);
    std::string out;
    for (const auto& [kind, count] : counts_) out += kind + "=" + std::to_string(count) + "\n";
    return out;
}

std::string FaultTable::Order() const {
    std::lock_guard lock(mutex_);
    std::string out;
    for (const std::string& kind : order_) out += kind + "\n";
    return out;
}

void FaultTable::ClearCounts() {
    std::lock_guard lock(mutex_);
    counts_.clear();
    order_.clear();
}

}  // namespace tesra::tools
