// The effective value of a field of a user or terminal record: the
// entry's own when its presence bit is set, else the system default's,
// else absent.
#pragma once

#include <stdint.h>

#include <optional>

#include "vant.h"

namespace vant::authdb {

template <typename T>
std::optional<T> effective(const pr_passwd &r, uint32_t field, T pr_field::*member) {
    if (PR_ISSET(r.uflg, field)) return r.ufld.*member;
    if (PR_ISSET(r.sflg, field)) return r.sfld.*member;
    return std::nullopt;
}

template <typename T>
std::optional<T> effective(const pr_term &r, uint32_t field, T t_field::*member) {
    if (PR_T_ISSET(r.uflg, field)) return r.ufld.*member;
    if (PR_T_ISSET(r.sflg, field)) return r.sfld.*member;
    return std::nullopt;
}

// The effective value, or the type's zero when absent.
template <typename Record, typename Fields, typename T>
T effective_or_zero(const Record &r, uint32_t field, T Fields::*member) {
    return effective(r, field, member).value_or(T{});
}

}  // namespace vant::authdb
