#include "updates/parties/clientes.h"

#include <memory>

#include "schema/column_creation.h"
#include "schema/pasos_pendientes.h"
#include "schema/default_batches.h"
#include "schema/sql_text.h"
#include "schema/statements.h"
#include "updates/parties/comun.h"

namespace updates::parties {
namespace {

using schema::CampoDeTabla;
using schema::DefinicionCampo;
using schema::ResultadoCampo;

constexpr std::string_view kComienzo =
    "Comenzando actualizacion estructura clientestabla en la empresa ";
// The failure messages of this routine's reported statements put this between code and server.
constexpr std::string_view kSeparadorError = schema::kSeparadorComaServidor;

constexpr SentenciaDeTabla kAmpliaciones[] = {
    {"IF COL_LENGTH ('clientestabla','CliNombre') < 100 ALTER TABLE clientestabla ALTER COLUMN "
     "CliNombre varchar(100)",
     "Actualizando campo CliNombre en la empresa ",
     "Campo CliNombre actualizado correctamente en la empresa "},
    {"IF COL_LENGTH ('clientestabla','CliDireccion') < 100 ALTER TABLE clientestabla ALTER "
     "COLUMN CliDireccion varchar(100)",
     "Actualizando campo CliDireccion en la empresa ",
     "Campo CliDireccion actualizado correctamente en la empresa "},
    {"IF COL_LENGTH ('clientestabla','clicif') < 15 ALTER TABLE clientestabla ALTER COLUMN clicif "
     "varchar(15)",
     "Actualizando campo clicif en la empresa ",
     "Campo clicif actualizado correctamente en la empresa "},
};

constexpr CampoDeTabla kCamposPersona[] = {
    {"ClientesTabla", {"PersonaJuridica", "BIT", {}, true, "0"}},
    {"ClientesTabla", {"CliNombreComun", "VARCHAR", 100, true, "''"}},
};

constexpr SentenciaDeTabla kAmpliacionNombreComun = {
    "IF COL_LENGTH ('clientestabla','CliNombreComun') < 100 ALTER TABLE clientestabla ALTER "
    "COLUMN CliNombreComun varchar(100)",
    "Actualizando campo CliNombreComun en la empresa ",
    "Campo CliNombreComun actualizado correctamente en la empresa "};

constexpr CampoDeTabla kCampos[] = {
    {"ClientesTabla", {"CliCtaProvisiones", "VARCHAR", 12, true, "''"}},
    {"ClientesTabla", {"CliCtaServicios", "VARCHAR", 12, true, "''"}},
    {"ClientesTabla", {"CliPasarRecVac", "BIT", {}, true, "1"}},
    {"ClientesTabla", {"CliAvisarSat", "VARCHAR", 1, false, ""}},
    {"ClientesTabla", {"CliAvisarSatTexto", "VARCHAR", 50, false, ""}},
    {"ClientesTabla", {"NUMERODESOCIOABONADO", "VARCHAR", 50, true, "''"}},
    {"ClientesTabla", {"CLINumeracionIndependienteAsuntos", "BIT", {}, true, "0"}},
    {"ClientesTabla", {"CLINumeracionIndependienteAsuntosFormato", "VARCHAR", 255, true, "''"}},
    {"ClientesTabla", {"CLIRUTADOCUMENTOS", "VARCHAR", 256, false, ""}},
    {"ClientesTabla", {"CliApellido1", "VARCHAR", 35, false, "''"}},
    {"ClientesTabla", {"CliApellido2", "VARCHAR", 35, false, "''"}},
    {"ClientesTabla", {"CliTipoVia", "VARCHAR", 3, false, "''"}},
    {"ClientesTabla", {"CliDireccionNumero", "VARCHAR", 8, false, "''"}},
    {"ClientesTabla", {"CliDireccionPiso", "VARCHAR", 7, false, "''"}},
    {"ClientesTabla", {"CliDireccionPuerta", "VARCHAR", 8, false, "''"}},
    {"ClientesTabla", {"CliIpf", "INT", {}, false, "0"}},
    {"CLIENTESTABLA", {"CliCodPais", "VARCHAR", 5, false, ""}},
    {"CLIENTESTABLA", {"CliTipoNumeracion", "VARCHAR", 2, false, ""}},
    {"CLIENTESTABLA", {"CliPreso", "INT", {}, true, "0"}},
    {"CLIENTESTABLA", {"CliCodPrision", "VARCHAR", 4, false, ""}},
    {"CLIENTESTABLA", {"CliSexo", "VARCHAR", 2, true, "''"}},
    {"CLIENTESTABLA", {"CliIdSolicitante", "varchar", 10, false, ""}},
    {"ClientesTabla", {"CliDiasCredito", "INT", {}, false, "0"}},
    {"ClientesTabla", {"CliModoEnvio", "CHAR", 1, true, "0"}},
    {"ClientesTabla", {"CliCorreo", "VARCHAR", 255, false, ""}},
    {"ClientesTabla", {"CLICODIGOEAN", "VARCHAR", 50, true, "''"}},
    {"ClientesTabla", {"CLIPDA", "INT", {}, false, ""}},
    {"ClientesTabla", {"CLICODPDA", "VARCHAR", 10, false, ""}},
    {"ClientesTabla", {"IdOutLook", "VARCHAR", 255, true, "''"}},
    {"ClientesTabla", {"CliCorreoCC", "VARCHAR", 255, false, ""}},
    {"ClientesTabla", {"CliCodPaisFiscal", "VARCHAR", 5, true, "''"}},
    {"ClientesTabla", {"CliPaisFiscal", "VARCHAR", 35, true, "''"}},
    {"ClientesTabla", {"CliTipoDoc", "int", {}, true, "0"}},
    {"ClientesTabla", {"CliObsoleto", "bit", {}, true, "0"}},
    {"ClientesTabla", {"CliFechaGrabacion", "DATETIME", {}, true, "GetDate()"}},
    {"ClientesTabla", {"UltimaModificacion", "DATETIME", {}, false, ""}},
    {"ClientesTabla", {"LPD", "int", {}, true, "0"}},
};

constexpr std::string_view kAmpliacionCodPostal =
    "IF COL_LENGTH ('clientestabla','CliCodPostal') < 10 ALTER TABLE clientestabla ALTER COLUMN "
    "CliCodPostal varchar(10)";

constexpr std::string_view kClientesSinAbogado =
    "select clicodigo  from clientestabla where clicodigo not in(select codcliente from "
    "abogadocliente)";

constexpr DefinicionCampo kFechaMandatoNula = {"CliFechaMandato", "DATETIME", {}, false, ""};
constexpr std::string_view kMandatosVacios =
    "UPDATE CLIENTESTABLA SET CLIFECHAMANDATO={d'2009-10-31'} WHERE CLIFECHAMANDATO IS NULL";
constexpr DefinicionCampo kDescuentoTpv = {"DescuentoTPV", "FLOAT", {}, true, "0"};
constexpr DefinicionCampo kFechaMandatoObligatoria = {"CliFechaMandato", "DATETIME", {}, true, ""};
constexpr std::string_view kMandatosVaciosOtraVez =
    "UPDATE CLIENTESTABLA SET CliFechaMandato={d'2009-10-31'} where CliFechaMandato is null";

constexpr CampoDeTabla kCamposBancoYComision[] = {
    {"ClientesTabla", {"CLICODBancoTransferencias", "VARCHAR", 4, true, "''"}},
    {"CLIENTESTABLA", {"CLIComision", "FLOAT", {}, true, "0"}},
};

// The bit column becomes an integer; its default, if bound, keeps its name and the value 0.
constexpr schema::ConversionTipo kIvaIntracomunitarioEntero = {
    "CLIENTESTABLA", "CLIIVAINTRACOMUNITARIO", "BIT", "INTEGER", "0", true};

constexpr std::string_view kLineasCentrosAdministrativos[] = {
    "if exists (select * from sysobjects where xtype='U' and name = 'CENTROSADMINISTRATIVOS')",
    "begin",
    "if exists (select * from CLIENTESTABLARELACIONES where TipoRel in('01','02','03','04')) and "
    "not exists(select * from CENTROSADMINISTRATIVOS)",
    "begin",
    "INSERT INTO CENTROSADMINISTRATIVOS",
    "SELECT CLIENTESTABLARELACIONES.CLICODIGO AS CLICODIGO,",
    "CLIENTESTABLARELACIONES.CodClienteRel AS CODIGOCENTRO,",
    "CLIENTESTABLARELACIONES.TIPOREL AS TIPO,",
    "SUBSTRING(CliDireccion,1,80) AS DIRECCION, SUBSTRING(CliCodPostal,1,5) AS CODIGOPOSTAL,",
    "SUBSTRING(CliCodPostalLocali,1,50) AS LOCALIDAD, SUBSTRING(CliCodPostalProvin,1,20) AS "
    "PROVINCIA,",
    "SUBSTRING(CliCodPostalPais,1,3) AS PAIS FROM CLIENTESTABLARELACIONES LEFT JOIN",
    "CLIENTESTABLA ON CLIENTESTABLARELACIONES.CODCLIENTEREL=CLIENTESTABLA.CLICODIGO",
    "WHERE TIPOREL IN('01','02','03','04')",
    "ORDER BY CLICODIGO,TIPOREL",
    "DELETE FROM CLIENTESTABLARELACIONES WHERE TIPOREL IN('01','02','03','04')",
    "End",
    "End",
};

// Every customer that no lawyer may see yet gets the row of lawyer -1. The codes are read
// first and inserted one by one; a code the insert refuses leaves the others inserted.
void DarAccesoAbogados(db::Connection& Conexion) {
    Conexion.clearError();
    std::unique_ptr<db::Recordset> clientes = Conexion.openRecordset(
        kClientesSinAbogado, db::CursorType::ForwardOnly, db::LockType::ReadOnly);
    if (clientes == nullptr || Conexion.hasError()) return;
    while (!clientes->eof()) {
        schema::SentenciaSimple(Conexion, SentenciaAccesoAbogado(clientes->text("clicodigo")));
        if (!clientes->moveNext().ok()) break;
    }
    clientes->close();
}

}  // namespace

std::string SentenciaAccesoAbogado(std::string_view codigo) {
    return schema::Unir({"insert into ABOGADOCLIENTE (CodAbogado,CodCliente,Permisos) values(-1,'",
                         schema::DuplicarComillas(codigo), "',14)"});
}

std::string LoteIvaIntracomunitario() {
    return schema::LoteConversionTipo(kIvaIntracomunitarioEntero);
}

std::string LoteCentrosAdministrativos() {
    return LoteConRetornos(kLineasCentrosAdministrativos);
}

void ActualizaClientes(run::RunContext& ctx, db::Connection& Conexion, std::string_view Empresa) {
    schema::LineaDeComienzo(ctx, kComienzo, Empresa);
    for (const SentenciaDeTabla& ampliacion : kAmpliaciones)
        Informar(ctx, Conexion, ampliacion, Empresa, kSeparadorError);
    schema::CrearCampos(ctx, Conexion, kCamposPersona);
    Informar(ctx, Conexion, kAmpliacionNombreComun, Empresa, kSeparadorError);
    schema::CrearCampos(ctx, Conexion, kCampos);
    schema::SentenciaSimple(Conexion, kAmpliacionCodPostal);

    DarAccesoAbogados(Conexion);

    // Every existing customer belongs to the company whose database holds it.
    const std::string empresaPorDefecto =
        schema::Unir({"'", schema::DuplicarComillas(ctx.CodigoEmpresaActual()), "'"});
    schema::CrearCampo(ctx, Conexion, "ClientesTabla",
                       DefinicionCampo{"CliEmpresa", "VARCHAR", 5, true, empresaPorDefecto});

    // The mandate date is filled only on the run that adds the column, so that a date cleared
    // later by the user stays cleared.
    schema::CrearCampoConPaso(ctx, Conexion, "ClientesTabla", kFechaMandatoNula,
                              [&] { schema::SentenciaSimple(Conexion, kMandatosVacios); });
    schema::CrearCampo(ctx, Conexion, "CLIENTESTABLA", kDescuentoTpv);
    schema::CrearCampoConPaso(ctx, Conexion, "ClientesTabla", kFechaMandatoObligatoria,
                              [&] { schema::SentenciaSimple(Conexion, kMandatosVaciosOtraVez); });
    schema::CrearCampos(ctx, Conexion, kCamposBancoYComision);

    schema::SentenciaSimple(Conexion, LoteIvaIntracomunitario());
    schema::SentenciaSimple(Conexion, LoteCentrosAdministrativos());
}

}  // namespace updates::parties
