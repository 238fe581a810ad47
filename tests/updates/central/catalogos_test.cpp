// The small shared catalogues, the fiscal calendars and the fee criteria of the central
// database, against a scripted server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "updates/central/calendario_fiscal.h"
#include "updates/central/catalogos.h"
#include "updates/central/criterios_orientadores.h"
#include "updates/central/routine_test.h"

namespace central_test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const char kCalendarios[] =
    "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____CALENDARIO' and "
    "table_type='BASE TABLE '";
const char kCriterios[] =
    "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____HONCRITERIOS' "
    "and table_type='BASE TABLE '";
const char kIndices[] =
    "select Table_Name from INFORMATION_SCHEMA.TABLES where Table_name like 'E____HONINDICE' and "
    "table_type='BASE TABLE '";

db::RowSet Tables(std::vector<std::string> names) {
    std::vector<std::vector<std::string>> rows;
    for (std::string& n : names)
        rows.push_back({std::move(n)});
    return Filas({"Table_Name"}, std::move(rows));
}

class CatalogosTest : public RoutineTest {};

TEST_F(CatalogosTest, SmallCataloguesGetTheirColumnsWithTheirDefaults) {
    updates::central::ActualizaTrabajosPredefinidos(ctx_, conn_);
    updates::central::ActualizaSocios(ctx_, conn_);
    updates::central::ActualizaCajas(ctx_, conn_);
    updates::central::ActualizaImpresoras(ctx_, conn_);
    EXPECT_THAT(
        conn_.Enviadas(),
        ElementsAre(
            "Alter Table TRABAJOS_PREDEFINIDOS ADD Plantilla VARCHAR (255) ",
            "Alter Table TRABAJOS_PREDEFINIDOS ADD Tipo VARCHAR (3) NOT NULL "
            "DEFAULT('0') ",
            "UPDATE TRABAJOS_PREDEFINIDOS SET Tipo='0'",
            "Alter Table SOCIOS ADD MINORACION BIT DEFAULT(1) ", "UPDATE SOCIOS SET MINORACION=1",
            "Alter Table SOCIOS ADD DEDVIVIENDA BIT DEFAULT(0) ", "UPDATE SOCIOS SET DEDVIVIENDA=0",
            "Alter Table CAJASTABLA ADD CAJASENTIDADBANCARIA VARCHAR (4) NOT NULL "
            "DEFAULT('') ",
            "UPDATE CAJASTABLA SET CAJASENTIDADBANCARIA=''",
            "Alter Table CAJASTABLA ADD CAJASAGRUPARLINEAS VARCHAR (1) DEFAULT('1') ",
            "UPDATE CAJASTABLA SET CAJASAGRUPARLINEAS='1'",
            "Alter Table CAJASTABLA ADD CAJASTARIFA VARCHAR (1) DEFAULT('A') ",
            "UPDATE CAJASTABLA SET CAJASTARIFA='A'",
            "Alter Table CAJASTABLA ADD CAJASOBSOLETA BIT NOT NULL DEFAULT(0) ",
            "UPDATE CAJASTABLA SET CAJASOBSOLETA=0",
            "Alter Table IMPRESORASTABLA ADD DispImpPuerto VARCHAR (35) "));
    EXPECT_THAT(Entries(), ElementsAre(Added("Plantilla"), Added("Tipo"), Added("MINORACION"),
                                       Added("DEDVIVIENDA"), Added("CAJASENTIDADBANCARIA"),
                                       Added("CAJASAGRUPARLINEAS"), Added("CAJASTARIFA"),
                                       Added("CAJASOBSOLETA"), Added("DispImpPuerto")));
}

TEST_F(CatalogosTest, PostalCodesAreWidenedWithoutAnyLogEntry) {
    conn_.FallaCon(
        "if COL_LENGTH ('POSTA','CPOSTAL') < 10 alter table POSTA alter column CPOSTAL varchar(10)",
        ErrorServidor(5074, "The object is dependent on column CPOSTAL."));
    updates::central::ActualizaPosta(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre("if COL_LENGTH ('POSTA','CPOSTAL') < 10 alter table POSTA alter "
                            "column CPOSTAL varchar(10)"));
    EXPECT_THAT(Entries(), IsEmpty());
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(CatalogosTest, LabelsLogTheirStartLineWithoutABlankBeforeTheCompanyCode) {
    updates::central::ActualizaEtiquetas(ctx_, conn_);
    EXPECT_THAT(
        conn_.Enviadas(),
        ElementsAre("Alter Table ETIQUETAS ADD ETIQUETATAMAÑOFUENTETEXTOS float DEFAULT(8) ",
                    "UPDATE ETIQUETAS SET ETIQUETATAMAÑOFUENTETEXTOS=8",
                    "Alter Table ETIQUETAS ADD ETIQUETAFUENTENEGRITA VARCHAR (2) "
                    "DEFAULT('NO') ",
                    "UPDATE ETIQUETAS SET ETIQUETAFUENTENEGRITA='NO'"));
    EXPECT_THAT(Entries(),
                ElementsAre(Info("Comenzando actualizacion estructura etiquetas en la empresa , "
                                 "servidor: SRV"),
                            Added("ETIQUETATAMAÑOFUENTETEXTOS"), Added("ETIQUETAFUENTENEGRITA")));
}

const char kEscritorioAlter[] =
    "Alter Table ESCRITORIOACTIVO ADD ESCRITORIOACTIVOPROGRAMA VARCHAR (35) ";
const char kEscritorioPrograma[] =
    "UPDATE ESCRITORIOACTIVO SET ESCRITORIOACTIVOPROGRAMA='KORVAN' WHERE ESCRITORIOACTIVOPROGRAMA "
    "IS NULL";
const char kEscritorioIndice[] =
    "IF NOT EXISTS (SELECT * FROM SYSINDEXES WHERE NAME='INDICEUSUARIO' AND "
    "ID=OBJECT_ID('ESCRITORIOACTIVO')) CREATE UNIQUE INDEX INDICEUSUARIO ON ESCRITORIOACTIVO "
    "(USUARIO,DESCRIPCION,ESCRITORIOACTIVOPROGRAMA)";

TEST_F(CatalogosTest, DesktopsGetTheirProgramOnlyOnTheRunThatAddsTheColumn) {
    updates::central::ActualizaEscritorioActivo(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre(kEscritorioAlter, kEscritorioPrograma, kEscritorioIndice));
    EXPECT_THAT(Entries(), ElementsAre(Info("Comenzando actualizacion estructura escritorioactivo "
                                            "en la empresa , servidor: SRV"),
                                       Added("ESCRITORIOACTIVOPROGRAMA")));
}

TEST_F(CatalogosTest, DesktopsOfALaterRunKeepTheirProgramButTheIndexIsTriedAgain) {
    ColumnsAlreadyThere({kEscritorioAlter});
    conn_.FallaCon(kEscritorioIndice, ErrorServidor(1505, "duplicate key was found"));
    updates::central::ActualizaEscritorioActivo(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(kEscritorioAlter, kEscritorioIndice));
    EXPECT_EQ(Entries().size(), 1u);  // only the start line
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(CatalogosTest, WithoutCalendarsThereIsNoStartLineAndNoStatement) {
    updates::central::ActualizaCalendarioFiscal(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(kCalendarios));
    EXPECT_THAT(Entries(), IsEmpty());
}

TEST_F(CatalogosTest, EveryCalendarGetsItsThreeCodesWidenedAfterOneStartLine) {
    conn_.Devuelve(kCalendarios, Tables({"E2013CALENDARIO", "E2014CALENDARIO"}));
    updates::central::ActualizaCalendarioFiscal(ctx_, conn_);
    EXPECT_THAT(
        conn_.Enviadas(),
        ElementsAre(kCalendarios,
                    "if COL_LENGTH ('E2013CALENDARIO','CDOP') <= 255 alter table E2013CALENDARIO "
                    "alter column CDOP varchar(255)",
                    "if COL_LENGTH ('E2013CALENDARIO','CMOD') <= 255 alter table E2013CALENDARIO "
                    "alter column CMOD varchar(255)",
                    "if COL_LENGTH ('E2013CALENDARIO','CIMP') <= 255 alter table E2013CALENDARIO "
                    "alter column CIMP varchar(255)",
                    "if COL_LENGTH ('E2014CALENDARIO','CDOP') <= 255 alter table E2014CALENDARIO "
                    "alter column CDOP varchar(255)",
                    "if COL_LENGTH ('E2014CALENDARIO','CMOD') <= 255 alter table E2014CALENDARIO "
                    "alter column CMOD varchar(255)",
                    "if COL_LENGTH ('E2014CALENDARIO','CIMP') <= 255 alter table E2014CALENDARIO "
                    "alter column CIMP varchar(255)"));
    EXPECT_THAT(Entries(), ElementsAre("Información:  Comenzando actualización de calendario "
                                       "fiscal."));
}

TEST_F(CatalogosTest, AFailingCalendarListingChangesNothingAndLogsNothing) {
    conn_.FallaCon(kCalendarios, ErrorServidor(208, "Invalid object name"));
    updates::central::ActualizaCalendarioFiscal(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(kCalendarios));
    EXPECT_THAT(Entries(), IsEmpty());
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(CatalogosTest, FeeCriteriaOfEveryYearAndTheirIndexTablesGetTheirColumns) {
    conn_.Devuelve(kCriterios, Tables({"E2013HONCRITERIOS"}));
    conn_.Devuelve(kIndices, Tables({"E2013HONINDICE", "E2014HONINDICE"}));
    updates::central::ActualizaCriteriosOrientadores(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre(kCriterios,
                            "Alter Table E2013HONCRITERIOS ADD Unidades bit NOT NULL DEFAULT(0) ",
                            "UPDATE E2013HONCRITERIOS SET Unidades=0",
                            "Alter Table E2013HONCRITERIOS ADD TextoUnidades varchar (100) ",
                            "Alter Table E2013HONCRITERIOS ADD TramoUnidades int ",
                            "Alter Table E2013HONCRITERIOS ADD PrecioTramoUnidades float ",
                            "Alter Table E2013HONCRITERIOS ADD Multiplicador float ", kIndices,
                            "Alter Table E2013HONINDICE ADD IdAyuda int NOT NULL DEFAULT(0) ",
                            "UPDATE E2013HONINDICE SET IdAyuda=0",
                            "Alter Table E2014HONINDICE ADD IdAyuda int NOT NULL DEFAULT(0) ",
                            "UPDATE E2014HONINDICE SET IdAyuda=0"));
    EXPECT_THAT(Entries(),
                ElementsAre("Información:  Comenzando actualización de criterios orientadores.",
                            Added("Unidades"), Added("TextoUnidades"), Added("TramoUnidades"),
                            Added("PrecioTramoUnidades"), Added("Multiplicador"), Added("IdAyuda"),
                            Added("IdAyuda")));
}

TEST_F(CatalogosTest, IndexTablesAloneWriteNoStartLine) {
    conn_.Devuelve(kIndices, Tables({"E2013HONINDICE"}));
    updates::central::ActualizaCriteriosOrientadores(ctx_, conn_);
    EXPECT_THAT(Entries(), ElementsAre(Added("IdAyuda")));
}

}  // namespace
}  // namespace central_test
