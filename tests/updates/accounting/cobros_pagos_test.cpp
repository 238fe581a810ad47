// Payment/collection links and invoice data against a scripted server: the per-year statements
// and lookups, and values from the rows that must not change the statements' meaning.
#include "updates/accounting/cobros_pagos.h"

#include "updates/accounting/routine_test.h"

namespace accounting_test {
namespace {

using ::testing::ElementsAre;

const char kAltaLinea[] = "Alter Table COBROSPAGOS_REL ADD LINEA VARCHAR (5) ";
const char kEjercicios[] =
    "SELECT EJERCICIO FROM COBROSPAGOS_REL GROUP BY EJERCICIO ORDER BY EJERCICIO";
const char kAltaOp[] = "Alter Table COBROSPAGOS_DATOSFACTURA ADD OP VARCHAR (2) ";
const char kDatosFactura[] = "SELECT * FROM COBROSPAGOS_DATOSFACTURA";

class CobrosPagosTest : public RoutineTest {};

TEST_F(CobrosPagosTest, EachYearsLinksAreMatchedAgainstThatYearsBook) {
    conn_.Devuelve(kEjercicios, Filas({"EJERCICIO"}, {{"2011"}, {"2013"}}));
    updates::accounting::ActualizaCobrosPagosRel(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre(kAltaLinea, kEjercicios,
                            "update a set linea=numlinea from (select "
                            "x.ejercicio,x.apunte,x.linea,z.iva  from cobrospagos z left join "
                            "cobrospagos_rel x on registro=REGISTRO_COBROPAGO where "
                            "x.ejercicio=2011) as a  left join e2011tabla as b on "
                            "a.apunte=b.asiento and b.iva=a.iva",
                            updates::accounting::SentenciaLineasEjercicio("2013")));
    EXPECT_THAT(Entries(), ElementsAre(Added("LINEA")));
}

TEST_F(CobrosPagosTest, LinksAreFilledOnlyOnTheRunThatAddsTheColumn) {
    AlreadyThere(kAltaLinea);
    conn_.Devuelve(kEjercicios, Filas({"EJERCICIO"}, {{"2013"}}));
    updates::accounting::ActualizaCobrosPagosRel(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(kAltaLinea));
}

TEST_F(CobrosPagosTest, AYearThatCannotNameATableIsSkipped) {
    conn_.Devuelve(kEjercicios,
                   Filas({"EJERCICIO"}, {{"2013 or 1=1; drop table cta --"}, {"2014"}}));
    updates::accounting::ActualizaCobrosPagosRel(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre(kAltaLinea, kEjercicios,
                            updates::accounting::SentenciaLineasEjercicio("2014")));
}

TEST_F(CobrosPagosTest, InvoiceDataTakeTheOperationOfTheirEntryOrKeepTheirValue) {
    conn_.Devuelve(
        kDatosFactura,
        Filas({"ejercicio", "actemp", "ER", "canalapunte", "nuapunte", "OP"},
              {{"2013 ", "419.1", "E", "00", "0000001", std::string(test_support::kNulo)},
               {"2014", "721.2", "E", "01", "0000009", std::string(test_support::kNulo)},
               {"2014", "O'Neil", "R", "01", "0000010", std::string(test_support::kNulo)}}));
    const std::string primera =
        "select op from e2013apuntesorm where actemp='419.1' and er='E' and canalapunte='00' and "
        "nuapunte='0000001'";
    conn_.Devuelve(primera, Filas({"op"}, {{"09"}, {"01"}}));
    updates::accounting::ActualizaCobrosPagosDatosFactura(ctx_, conn_);

    EXPECT_THAT(conn_.Enviadas(),
                ElementsAre(kAltaOp, kDatosFactura, primera,
                            "select op from e2014apuntesorm where actemp='721.2' and er='E' and "
                            "canalapunte='01' and nuapunte='0000009'",
                            // The quote of the value is doubled: it stays one literal.
                            "select op from e2014apuntesorm where actemp='O''Neil' and er='R' and "
                            "canalapunte='01' and nuapunte='0000010'"));
    // Only the row whose entry was found changed; the first result row is taken.
    ASSERT_EQ(conn_.Guardadas().size(), 1u);
    EXPECT_EQ(conn_.Guardadas()[0].fila, 0u);
    EXPECT_EQ(conn_.Guardadas()[0].valores.at("OP").toText(), "09");
}

TEST_F(CobrosPagosTest, ARefusedSaveIsCancelledAndTheWalkGoesOn) {
    conn_.Devuelve(kDatosFactura,
                   Filas({"ejercicio", "actemp", "ER", "canalapunte", "nuapunte", "OP"},
                         {{"2013", "A", "E", "00", "1", ""}, {"2013", "B", "E", "00", "2", ""}}));
    conn_.Devuelve(
        "select op from e2013apuntesorm where actemp='A' and er='E' and canalapunte='00' and "
        "nuapunte='1'",
        Filas({"op"}, {{"01"}}));
    conn_.RechazarGuardado(ErrorServidor(8152, "String or binary data would be truncated."));
    updates::accounting::ActualizaCobrosPagosDatosFactura(ctx_, conn_);
    EXPECT_TRUE(
        Sent("select op from e2013apuntesorm where actemp='B' and er='E' and "
             "canalapunte='00' and nuapunte='2'"));
    EXPECT_FALSE(ctx_.HayIncidencias());
}

TEST_F(CobrosPagosTest, InvoiceDataAreLeftAloneWhenTheColumnWasThere) {
    AlreadyThere(kAltaOp);
    updates::accounting::ActualizaCobrosPagosDatosFactura(ctx_, conn_);
    EXPECT_THAT(conn_.Enviadas(), ElementsAre(kAltaOp));
    EXPECT_TRUE(Entries().empty());
}

}  // namespace
}  // namespace accounting_test
