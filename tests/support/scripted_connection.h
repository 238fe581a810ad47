// A connection whose server is a script: tests say which statement texts fail (with which
// native error and description) and which rows a query returns; the connection records
// every text it is sent, in order. It lets a routine's tests hold it against exact statement
// texts and reach failures that a real server cannot be made to produce on demand (a broken
// connection, a refused save).
//
// Statements that no rule names succeed and return no rows. Record sets opened on a text
// with rows are updatable (for an Optimistic lock) through a writer that records the saved
// rows and can be told to refuse them.
// Thread-compatible, like every connection.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"

namespace test_support {

// A row set of text columns; "\x01NULL" stands for a NULL value.
db::RowSet Filas(std::vector<std::string> columnas, std::vector<std::vector<std::string>> filas);
inline constexpr std::string_view kNulo = "\x01NULL";

// An error as the server reports it.
db::Error ErrorServidor(int nativo, std::string descripcion);

struct FilaGuardada {
    bool nueva = false;
    size_t fila = 0;
    std::map<std::string, db::Variant> valores;  // assigned fields by column name
};

class ScriptedConnection : public db::Connection {
  public:
    explicit ScriptedConnection(std::string database = "Empresa_0001");

    // Every execute or open of exactly `sql` fails with `error` (or with several errors,
    // first entry first).
    void FallaCon(std::string sql, db::Error error) { FallaCon(std::move(sql), db::Status(error)); }
    void FallaCon(std::string sql, db::Status errores);
    // Every execute or open of a text that starts with `prefijo` fails with `error`.
    void FallaSiEmpiezaPor(std::string prefijo, db::Error error) {
        FallaSiEmpiezaPor(std::move(prefijo), db::Status(error));
    }
    void FallaSiEmpiezaPor(std::string prefijo, db::Status errores);
    // Forgets the failures of `sql` set with FallaCon.
    void NoFallaCon(const std::string& sql) { fallos_.erase(sql); }
    // Opening exactly `sql` gives `filas`.
    void Devuelve(std::string sql, db::RowSet filas);
    // Every statement fails with this error, as on a connection that broke.
    void Romper(db::Error error);
    // Saving a row of an updatable set fails with `error`.
    void RechazarGuardado(db::Error error);
    // Called with each executed text, before its outcome is decided (to change the script).
    void AlEjecutar(std::function<void(const std::string&)> observador);

    void Cerrar() { abierta_ = false; }

    // Every text sent, in order: executes and record-set opens.
    const std::vector<std::string>& Enviadas() const { return enviadas_; }
    // Only the executed texts, in order.
    const std::vector<std::string>& Ejecutadas() const { return ejecutadas_; }
    const std::vector<FilaGuardada>& Guardadas() const { return guardadas_; }

  protected:
    bool doIsOpen() const override { return abierta_; }
    db::Status doExecute(std::string_view sql) override;
    db::Status doOpenRecordset(std::string_view sql, db::CursorType cursor, db::LockType lock,
                               OpenedSet& out) override;
    std::string doCurrentDatabase() override { return database_; }
    void doClose() override { abierta_ = false; }
    db::Status doBeginTransaction() override { return {}; }
    db::Status doCommitTransaction() override { return {}; }
    db::Status doRollbackTransaction() override { return {}; }

  private:
    class Writer;
    std::optional<db::Status> ErrorPara(const std::string& sql) const;

    std::string database_;
    bool abierta_ = true;
    std::map<std::string, db::Status> fallos_;
    std::vector<std::pair<std::string, db::Status>> fallosPrefijo_;
    std::map<std::string, db::RowSet> filas_;
    std::optional<db::Error> rota_;
    std::optional<db::Error> rechazo_;
    std::function<void(const std::string&)> observador_;
    std::vector<std::string> enviadas_;
    std::vector<std::string> ejecutadas_;
    std::vector<FilaGuardada> guardadas_;
};

}  // namespace test_support
