#include "run/bloques_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace run {
namespace fs = std::filesystem;

namespace {

constexpr int kCifrasOrden = 6;

// "LogActualizacion" of "LogActualizacion.txt".
std::string Raiz(const fs::path& log) { return log.stem().string(); }

// The grid order of a block file's name, or -1 when the name is not one.
int OrdenDe(const fs::path& log, const fs::path& archivo) {
    const std::string nombre = archivo.filename().string();
    const std::string prefijo = Raiz(log) + ".";
    const std::string sufijo = log.extension().string();
    if (nombre.size() != prefijo.size() + kCifrasOrden + sufijo.size() ||
        nombre.compare(0, prefijo.size(), prefijo) != 0 ||
        nombre.compare(nombre.size() - sufijo.size(), sufijo.size(), sufijo) != 0)
        return -1;
    const std::string cifras = nombre.substr(prefijo.size(), kCifrasOrden);
    if (!std::all_of(cifras.begin(), cifras.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stoi(cifras);
}

bool Leer(const fs::path& archivo, std::string& bytes) {
    std::ifstream in(archivo, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool TerminaCon(const fs::path& log, const std::string& bloque) {
    std::error_code error;
    const auto tamano = fs::file_size(log, error);
    if (error || tamano < bloque.size() || bloque.empty()) return false;
    std::ifstream in(log, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(tamano - bloque.size()));
    std::string cola(bloque.size(), '\0');
    in.read(cola.data(), static_cast<std::streamsize>(cola.size()));
    return in && cola == bloque;
}

}  // namespace

fs::path ArchivoBloque(const fs::path& log, int orden) {
    std::string cifras = std::to_string(orden);
    if (cifras.size() < kCifrasOrden) cifras.insert(0, kCifrasOrden - cifras.size(), '0');
    return log.parent_path() / (Raiz(log) + "." + cifras + log.extension().string());
}

std::vector<fs::path> BloquesPendientes(const fs::path& log) {
    std::vector<std::pair<int, fs::path>> encontrados;
    std::error_code error;
    const fs::path carpeta = log.parent_path().empty() ? fs::path(".") : log.parent_path();
    for (fs::directory_iterator it(carpeta, error), fin; !error && it != fin; it.increment(error)) {
        const int orden = OrdenDe(log, it->path());
        if (orden >= 0) encontrados.emplace_back(orden, it->path());
    }
    std::sort(encontrados.begin(), encontrados.end());
    std::vector<fs::path> bloques;
    for (auto& [orden, archivo] : encontrados)
        bloques.push_back(std::move(archivo));
    return bloques;
}

bool AnadirBloque(const fs::path& log, const fs::path& bloque) {
    std::string bytes;
    if (!Leer(bloque, bytes)) return false;
    if (!bytes.empty() && !TerminaCon(log, bytes)) {
        // One write: a kill comes before the block or after it, not inside it.
        const int out = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (out < 0) return false;
        const bool escrito = ::write(out, bytes.data(), bytes.size()) ==
                             static_cast<ssize_t>(bytes.size());
        if (::close(out) != 0 || !escrito) return false;
    }
    std::error_code error;
    fs::remove(bloque, error);
    return true;
}

int RecuperarBloques(const fs::path& log) {
    int anadidos = 0;
    for (const fs::path& bloque : BloquesPendientes(log))
        if (AnadirBloque(log, bloque)) ++anadidos;
    return anadidos;
}

}  // namespace run
