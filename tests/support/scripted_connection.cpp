#include "support/scripted_connection.h"

namespace test_support {

db::RowSet Filas(std::vector<std::string> columnas, std::vector<std::vector<std::string>> filas) {
    db::RowSet set;
    for (auto& nombre : columnas) {
        db::FieldInfo info;
        info.name = std::move(nombre);
        info.type = db::FieldType::VarChar;
        set.fields.push_back(std::move(info));
    }
    for (auto& fila : filas) {
        std::vector<db::Variant> valores;
        for (auto& texto : fila) {
            valores.push_back(texto == kNulo ? db::Variant::null()
                                             : db::Variant::text(std::move(texto)));
        }
        set.rows.push_back(std::move(valores));
    }
    return set;
}

db::Error ErrorServidor(int nativo, std::string descripcion) {
    db::Error error;
    error.number = db::client_error::kErrorsInCommand;
    error.nativeError = nativo;
    error.description = std::move(descripcion);
    return error;
}

class ScriptedConnection::Writer : public db::RowWriter {
  public:
    Writer(ScriptedConnection& owner, std::vector<db::FieldInfo> campos)
        : owner_(owner), campos_(std::move(campos)) {}

    db::Status updateRow(size_t row, const std::vector<db::Variant>&,
                         const std::vector<std::optional<db::Variant>>& changes) override {
        return Guardar(false, row, changes);
    }
    db::Status insertRow(size_t row, const std::vector<std::optional<db::Variant>>& values,
                         std::vector<db::Variant>& /*stored*/) override {
        return Guardar(true, row, values);
    }

  private:
    db::Status Guardar(bool nueva, size_t row,
                       const std::vector<std::optional<db::Variant>>& valores) {
        if (owner_.rechazo_) return db::Status(*owner_.rechazo_);
        FilaGuardada guardada{nueva, row, {}};
        for (size_t i = 0; i < valores.size() && i < campos_.size(); ++i) {
            if (valores[i]) guardada.valores[campos_[i].name] = *valores[i];
        }
        owner_.guardadas_.push_back(std::move(guardada));
        return {};
    }

    ScriptedConnection& owner_;
    std::vector<db::FieldInfo> campos_;
};

ScriptedConnection::ScriptedConnection(std::string database)
    : db::Connection(database), database_(std::move(database)) {}

void ScriptedConnection::FallaCon(std::string sql, db::Status errores) {
    fallos_[std::move(sql)] = std::move(errores);
}

void ScriptedConnection::FallaSiEmpiezaPor(std::string prefijo, db::Status errores) {
    fallosPrefijo_.emplace_back(std::move(prefijo), std::move(errores));
}

void ScriptedConnection::Devuelve(std::string sql, db::RowSet filas) {
    filas_[std::move(sql)] = std::move(filas);
}

void ScriptedConnection::Romper(db::Error error) {
    rota_ = std::move(error);
}

void ScriptedConnection::RechazarGuardado(db::Error error) {
    rechazo_ = std::move(error);
}

void ScriptedConnection::AlEjecutar(std::function<void(const std::string&)> observador) {
    observador_ = std::move(observador);
}

std::optional<db::Status> ScriptedConnection::ErrorPara(const std::string& sql) const {
    if (rota_) return db::Status(*rota_);
    if (auto it = fallos_.find(sql); it != fallos_.end()) return it->second;
    for (const auto& [prefijo, error] : fallosPrefijo_) {
        if (sql.compare(0, prefijo.size(), prefijo) == 0) return error;
    }
    return std::nullopt;
}

db::Status ScriptedConnection::doExecute(std::string_view sql) {
    std::string texto(sql);
    enviadas_.push_back(texto);
    ejecutadas_.push_back(texto);
    if (observador_) observador_(texto);
    if (auto error = ErrorPara(texto)) return *error;
    return {};
}

db::Status ScriptedConnection::doOpenRecordset(std::string_view sql, db::CursorType,
                                               db::LockType lock, OpenedSet& out) {
    std::string texto(sql);
    enviadas_.push_back(texto);
    if (auto error = ErrorPara(texto)) return *error;
    if (auto it = filas_.find(texto); it != filas_.end()) out.rows = it->second;
    if (lock == db::LockType::Optimistic) {
        out.writer = std::make_unique<Writer>(*this, out.rows.fields);
    }
    return {};
}

}  // namespace test_support
