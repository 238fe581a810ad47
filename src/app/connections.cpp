#include "app/connections.h"

#include <cctype>

#include "db/connect.h"
#include "db/connection_string.h"
#include "run/update_log.h"
#include "schema/sql_text.h"

namespace app {

namespace {

constexpr std::string_view kSelectorCentral = "VARDEX";

std::unique_ptr<db::Connection> Abrir(std::string_view servidor, std::string_view baseDatos,
                                      bool usarLogin, std::string_view usuario,
                                      std::string_view clave) {
    return db::connect(CadenaConexion(servidor, baseDatos, usarLogin, usuario, clave));
}

}  // namespace

std::string CadenaConexion(std::string_view servidor, std::string_view baseDatos, bool usarLogin,
                           std::string_view usuario, std::string_view clave) {
    db::ConnectionSettings ajustes;
    ajustes.server = std::string(servidor);
    ajustes.database = std::string(baseDatos);
    ajustes.integratedSecurity = !usarLogin;
    if (usarLogin) {
        ajustes.user = std::string(usuario);
        ajustes.password = std::string(clave);
    }
    return db::formatConnectionString(ajustes);
}

std::string ConsultaEmpresas(std::string_view selector) {
    std::string sql = "Select MENUMEMPRESA, MENOMBRE from emp";
    if (!selector.empty()) {
        sql += " where MENUMEMPRESA='" + schema::DuplicarComillas(selector) + "'";
    }
    return sql;
}

ResultadoListado RealizarConexion(run::RunContext& ctx, std::string_view servidor, bool usarLogin,
                                  std::string_view usuario, std::string_view clave,
                                  std::string_view selector) {
    auto conexion = Abrir(servidor, "vardex", usarLogin, usuario, clave);
    if (!conexion->isOpen()) {
        ctx.EscribirLog("RealizarConexion", "Error de conexión con el servidor",
                        conexion->lastError().description, run::kNivelError);
        return ResultadoListado::kServidorInaccesible;
    }
    ctx.grid.SetStatus(run::ProcessGrid::kConnectionRow, run::RowStatus::kDone);
    ctx.grid.RepaintNow();

    if (selector != kSelectorCentral) {
        conexion->clearError();
        auto empresas = conexion->openRecordset(ConsultaEmpresas(selector), db::CursorType::Static,
                                                db::LockType::ReadOnly);
        if (!empresas) {
            ctx.EscribirLog("RealizarConexion", "Consulta Empresas",
                            conexion->lastError().description, run::kNivelError);
        } else {
            while (!empresas->eof()) {
                ctx.grid.AddCompanyRow("Actualizando " + empresas->text("MENOMBRE"),
                                       empresas->text("MENUMEMPRESA"));
                if (!empresas->moveNext().ok()) break;
            }
            empresas->close();
        }
    }
    conexion->close();
    return ResultadoListado::kListado;
}

bool AbreconexionSimple(run::RunContext& ctx, std::unique_ptr<db::Connection>& conexion,
                        std::string_view servidor, bool usarLogin, std::string_view usuario,
                        std::string_view clave) {
    conexion = Abrir(servidor, "Vardex", usarLogin, usuario, clave);
    if (conexion->isOpen()) {
        ctx.EscribirLog("", "Conexión con vardex: OK", "", run::kNivelInformacion);
        return true;
    }
    ctx.EscribirLog("AbreconexionSimple",
                    "Error al conectar Vardex; en el servidor " + std::string(servidor), "",
                    run::kNivelError);
    return false;
}

bool AbreconexionEmpresa(run::RunContext& ctx, std::unique_ptr<db::Connection>& conexion,
                         std::string_view servidor, std::string_view codigo, bool usarLogin,
                         std::string_view usuario, std::string_view clave) {
    conexion = Abrir(servidor, "Empresa_" + std::string(codigo), usarLogin, usuario, clave);
    if (conexion->isOpen()) {
        ctx.EscribirLog("", "Conexión con " + conexion->currentDatabase() + " : OK", "",
                        run::kNivelInformacion);
        return true;
    }
    ctx.EscribirLog("AbreconexionEmpresa",
                    "Error al conectar con la empresa " + std::string(codigo) + " en el servidor " +
                        std::string(servidor),
                    conexion->lastError().description, run::kNivelError);
    return false;
}

Credenciales CredencialesListado(const run::ParametrosEjecucion& parametros) {
    std::string mayusculas = parametros.Usuario;
    for (char& c : mayusculas)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (mayusculas == "NULL") return {false, "", ""};
    return {true, parametros.Usuario, parametros.Clave};
}

Credenciales CredencialesActualizacion(const run::ParametrosEjecucion& parametros) {
    return {parametros.SeguridadSQL, parametros.Usuario, parametros.Clave};
}

ResultadoListado RealizarConexion(run::RunContext& ctx) {
    const Credenciales c = CredencialesListado(ctx.parametros);
    return RealizarConexion(ctx, ctx.parametros.Servidor, c.usarLogin, c.usuario, c.clave,
                            ctx.parametros.EmpresaSolicitada);
}

bool AbreconexionSimple(run::RunContext& ctx, std::unique_ptr<db::Connection>& conexion) {
    const Credenciales c = CredencialesActualizacion(ctx.parametros);
    return AbreconexionSimple(ctx, conexion, ctx.parametros.Servidor, c.usarLogin, c.usuario,
                              c.clave);
}

bool AbreconexionEmpresa(run::RunContext& ctx, std::unique_ptr<db::Connection>& conexion,
                         std::string_view codigo) {
    const Credenciales c = CredencialesActualizacion(ctx.parametros);
    return AbreconexionEmpresa(ctx, conexion, ctx.parametros.Servidor, codigo, c.usarLogin,
                               c.usuario, c.clave);
}

}  // namespace app
