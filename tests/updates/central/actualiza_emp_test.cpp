#include "updates/central/actualiza_emp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/central/routine_test.h"

namespace central_test {
namespace {

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// Every statement of a first run on a register that lacks all the columns, in order.
const std::vector<std::string> kFirstRun = {
    "Alter Table EMP ADD CodigoTabla INT NOT NULL DEFAULT(0) ",
    "UPDATE EMP SET CodigoTabla=0",
    "Alter Table EMP ADD CodigoTarifa INT NOT NULL DEFAULT(0) ",
    "UPDATE EMP SET CodigoTarifa=0",
    "Alter Table EMP ADD PROGCONTABLE INT NOT NULL DEFAULT(1) ",
    "UPDATE EMP SET PROGCONTABLE=1",
    "Alter Table EMP ADD CODIGOEMISORPOPERACIONAL VARCHAR (50) ",
    "Alter Table EMP ADD CODIGORECEPTORPOPERACIONAL VARCHAR (50) ",
    "Alter Table EMP ADD CODIGOFORMAPAGORELACION VARCHAR (15) ",
    "Alter Table EMP ADD RegimenIva INT NOT NULL DEFAULT(0) ",
    "UPDATE EMP SET RegimenIva=0",
    "Alter Table EMP ADD FJURID VARCHAR (1) ",
    "Alter Table EMP ADD TIPOFACTURA VARCHAR (35) NOT NULL DEFAULT('') ",
    "UPDATE EMP SET TIPOFACTURA=''",
    "Alter Table EMP ADD EMPFAMIDEFECTO VARCHAR (4) NOT NULL DEFAULT('') ",
    "UPDATE EMP SET EMPFAMIDEFECTO=''",
    "Alter Table EMP ADD IDEMPRESA VARCHAR (100) ",
    "Alter Table EMP ADD IDEMPRESAIP VARCHAR (100) ",
    "Alter Table EMP ADD FormatoIntroduccionArticulosCompras INT NOT NULL DEFAULT(1) ",
    "UPDATE EMP SET FormatoIntroduccionArticulosCompras=1",
    "Alter Table EMP ADD MEIPF INT DEFAULT(0) ",
    "UPDATE EMP SET MEIPF=0",
    "Alter Table EMP ADD MENURUTADOCUMENTOS VARCHAR (255) ",
    "Alter Table EMP ADD EMPTAMAÑOCODIGOARTICULOS INT DEFAULT(10) ",
    "UPDATE EMP SET EMPTAMAÑOCODIGOARTICULOS=10",
    "Alter Table EMP ADD EMPRELLENARCODIGOSARTICULOS INT DEFAULT(1) ",
    "UPDATE EMP SET EMPRELLENARCODIGOSARTICULOS=1",
    "Alter Table EMP ADD EMPFAMIDEFECTOBUSQUEDAS VARCHAR (4) ",
    "Alter Table EMP ADD MEEMPRESAAGRARIA INT DEFAULT(0) ",
    "UPDATE EMP SET MEEMPRESAAGRARIA=0",
    "if COL_LENGTH ('DATOSFISCALES','CASILLAPAR16') < 5 ALTER TABLE DATOSFISCALES ALTER COLUMN "
    "CASILLAPAR16 VARCHAR(5)",
    "if COL_LENGTH ('DATOSFISCALES','CASILLAPAR26') < 5 ALTER TABLE DATOSFISCALES ALTER COLUMN "
    "CASILLAPAR26 VARCHAR(5)",
    "if COL_LENGTH ('DATOSFISCALES','CASILLAPAR36') < 5 ALTER TABLE DATOSFISCALES ALTER COLUMN "
    "CASILLAPAR36 VARCHAR(5)",
    "if COL_LENGTH ('DATOSFISCALES','CASILLAPAR46') < 5 ALTER TABLE DATOSFISCALES ALTER COLUMN "
    "CASILLAPAR46 VARCHAR(5)",
    "Alter Table EMP ADD CRITERIOCAJA INT DEFAULT(0) ",
    "UPDATE EMP SET CRITERIOCAJA=0",
    "Alter Table EMP ADD TIPOPROGRAMA INT DEFAULT(0) ",
    "UPDATE EMP SET TIPOPROGRAMA=0",
    "Alter Table EMP ADD EMPCAMBIARREPRESENTANTESPORUSUAROS INT DEFAULT(0) ",
    "UPDATE EMP SET EMPCAMBIARREPRESENTANTESPORUSUAROS=0",
    "Alter Table EMP ADD EMPSINCDATOSCTA INT NOT NULL DEFAULT(0) ",
    "UPDATE EMP SET EMPSINCDATOSCTA=0",
    "Alter Table EMP ADD ESTADOSII INT DEFAULT(0) ",
    "UPDATE EMP SET ESTADOSII=0",
    "Alter Table EMP ADD EMPLOTEDESDELINEA INT NOT NULL DEFAULT(0) ",
    "UPDATE EMP SET EMPLOTEDESDELINEA=0",
    "Alter Table EMP ADD MEEMPRESAAGRARIAC INT DEFAULT(0) ",
    "UPDATE EMP SET MEEMPRESAAGRARIAC=0",
};

std::vector<std::string> AltersOf(const std::vector<std::string>& statements) {
    std::vector<std::string> alters;
    for (const std::string& s : statements)
        if (s.starts_with("Alter Table ")) alters.push_back(s);
    return alters;
}

class ActualizaEmpTest : public RoutineTest {};

TEST_F(ActualizaEmpTest, AFirstRunAddsEveryColumnInOrderAndWidensTheFiscalBoxes) {
    updates::central::ActualizaEmp(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAreArray(kFirstRun));

    std::vector<std::string> expected_log;
    for (const std::string& alter : AltersOf(kFirstRun)) {
        std::string column = alter.substr(std::string("Alter Table EMP ADD ").size());
        expected_log.push_back(Added(column.substr(0, column.find(' '))));
    }
    EXPECT_THAT(Entries(), ElementsAreArray(expected_log));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(ActualizaEmpTest, ASecondRunOnlyTriesTheColumnsAndTheWideningsAndLogsNothing) {
    ColumnsAlreadyThere(AltersOf(kFirstRun));
    updates::central::ActualizaEmp(ctx_, conn_);

    std::vector<std::string> expected;
    for (const std::string& s : kFirstRun)
        if (!s.starts_with("UPDATE ")) expected.push_back(s);
    EXPECT_THAT(conn_.Enviadas(), ElementsAreArray(expected));
    EXPECT_THAT(Entries(), IsEmpty());
}

TEST_F(ActualizaEmpTest, AFailingWideningIsSilentAndTheLaterColumnsAreStillAdded) {
    conn_.FallaCon(kFirstRun[30], ErrorServidor(4902, "Cannot find the object"));
    updates::central::ActualizaEmp(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAreArray(kFirstRun));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(ActualizaEmpTest, AColumnTheServerRefusesIsReportedAsAnIncidentWithTheServersMessage) {
    conn_.FallaCon("Alter Table EMP ADD FJURID VARCHAR (1) ",
                   ErrorServidor(1205, "deadlock victim"));
    updates::central::ActualizaEmp(ctx_, conn_);
    EXPECT_TRUE(ctx_.HayIncidencias());
    std::vector<std::string> entries = Entries();
    EXPECT_THAT(entries, ::testing::Contains(
                             "Error en el procesimiento Form_Activate:Error al crear el campo "
                             "FJURID en la empresa  , servidor: SRV     Mensaje devuelto por el "
                             "servidor :deadlock victim"));
}

}  // namespace
}  // namespace central_test
