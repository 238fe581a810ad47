#include "run/coleccion_bic.h"

namespace run {
namespace {

std::string FoldKey(std::string_view key) {
    std::string folded(key);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

}  // namespace

bool ColeccionBIC::Add(std::string_view entidad, std::string_view bic) {
    return entries_.try_emplace(FoldKey(entidad), bic).second;
}

std::optional<std::string> ColeccionBIC::Find(std::string_view entidad) const {
    const auto found = entries_.find(FoldKey(entidad));
    if (found == entries_.end()) return std::nullopt;
    return found->second;
}

}  // namespace run
