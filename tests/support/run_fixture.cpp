#include "support/run_fixture.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "run/update_log.h"

namespace test_support {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "actualiza-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
        had_old_ = true;
        old_ = old;
    }
    ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (had_old_) {
        ::setenv(name_.c_str(), old_.c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

RunFixture::RunFixture(std::string servidor) {
    ctx_ = std::make_unique<run::RunContext>(
        dir_.path(), [] { return run::LocalDateTime{2026, 12, 8, 10, 30, 0}; });
    ctx_->parametros.Servidor = std::move(servidor);
    ctx_->grid.Prepare("");
    ctx_->log.IniciarLog();
    ctx_->SetEventPump([this] { ++bombeos_; });
}

void RunFixture::EmpresaActual(const std::string& codigo) {
    const int fila = ctx_->grid.AddCompanyRow("Actualizando Empresa " + codigo, codigo);
    ctx_->grid.SetCurrentRow(fila);
}

std::vector<std::string> RunFixture::Entradas() const { return EntradasDeLog(ctx_->log.file()); }

std::vector<std::string> EntradasDeLog(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> entradas;
    size_t inicio = 0;
    bool primera = true;
    while (inicio < bytes.size()) {
        size_t fin = bytes.find("\r\n", inicio);
        if (fin == std::string::npos) fin = bytes.size();
        const std::string linea = bytes.substr(inicio, fin - inicio);
        inicio = fin + 2;
        if (linea == std::string(20, '-')) continue;
        if (primera) {  // the start line of the log
            primera = false;
            continue;
        }
        entradas.push_back(DesdeWindows1252(linea));
    }
    return entradas;
}

std::string DesdeWindows1252(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c >= 0xA0) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += '?';  // the 0x80-0x9F block holds nothing the program writes
        }
    }
    return out;
}

}  // namespace test_support
