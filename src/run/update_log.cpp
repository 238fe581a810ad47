#include "run/update_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "run/windows1252.h"

namespace run {
namespace {

constexpr std::string_view kSeparator = "--------------------";
constexpr std::string_view kLineEnd = "\r\n";

std::string Concat(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts)
        text.append(part);
    return text;
}

}  // namespace

UpdateLog::UpdateLog(std::filesystem::path file, Clock clock)
    : file_(std::move(file)), clock_(std::move(clock)) {}

void UpdateLog::IniciarLog() {
    Write(Concat({"Inicio proceso de actualización de Catalogos a ", NowText()}), "wb");
}

void UpdateLog::EscribirLog(std::string_view procedimiento, std::string_view mensaje,
                            std::string_view textoServidor, std::int16_t nivel) {
    std::string line;
    switch (nivel) {
        case kNivelError:
            hay_incidencias_ = true;
            line = Concat({"Error en el procesimiento ", procedimiento, ":", mensaje,
                           "     Mensaje devuelto por el servidor :", textoServidor});
            break;
        case kNivelInformacion:
            line = Concat({"Información:  ", mensaje});
            break;
        case kNivelAdvertencia:
            line = Concat({"Advertencia en el procedimiento ", procedimiento, ":  ", mensaje});
            break;
        default:
            return;
    }
    Write(line, "ab");
}

void UpdateLog::Write(std::string_view line, const char* mode) {
    std::string bytes = ToWindows1252(line);
    bytes.append(kLineEnd).append(kSeparator).append(kLineEnd);
    errno = 0;
    std::FILE* out = std::fopen(file_.c_str(), mode);
    bool written = out != nullptr;
    if (out != nullptr) {
        written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        written = std::fclose(out) == 0 && written;
    }
    if (written || failure_reported_) return;  // a lost entry is told once; the run goes on
    failure_reported_ = true;
    if (failure_hook_) failure_hook_(file_, errno != 0 ? std::strerror(errno) : "write failed");
}

}  // namespace run
