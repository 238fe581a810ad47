// The central phase: steps C1 to C29 on the central database Vardex, in their fixed order
// (later steps rely on columns and tables earlier ones create; the progress bar follows the
// position in the table). Inline work that belongs to no update routine — the start line,
// the account-length fill of EMP, the three drops of outdated catalogue tables and the
// release stamp — is written here as steps of its own.
//
// Thread safety: none; runs on the run's thread with the central update connection.
#pragma once

#include <span>

#include "app/secuencia/pasos.h"

namespace app {

// The steps C1 … C29.
std::span<const Paso> PasosCentrales();

// Statements C4, C8 and C9: outdated layouts of three catalogue tables are dropped, so that the
// base-data synchronisation creates them anew.
inline constexpr char kBorraCpeniten[] =
    "IF NOT EXISTS (SELECT SYSCOLUMNS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON SYSCOLUMNS.ID "
    "= SYSOBJECTS.ID WHERE SYSOBJECTS.ID = OBJECT_ID('CPENITEN') AND SYSCOLUMNS.NAME='PROVINCIA') "
    "DROP TABLE CPENITEN";
inline constexpr char kBorraTiposDeVia[] =
    "IF NOT EXISTS (SELECT SYSCOLUMNS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON SYSCOLUMNS.ID "
    "= SYSOBJECTS.ID WHERE SYSOBJECTS.ID=OBJECT_ID('TIPOSDEVIA') AND SYSCOLUMNS.NAME='TIPOVIA') "
    "DROP TABLE TIPOSDEVIA";
inline constexpr char kBorraTiposIdentificativos[] =
    "IF NOT EXISTS (SELECT SYSCOLUMNS.NAME FROM SYSCOLUMNS INNER JOIN SYSOBJECTS ON SYSCOLUMNS.ID "
    "= SYSOBJECTS.ID WHERE SYSOBJECTS.ID=OBJECT_ID('TIPOSIDENTIFICATIVOS') AND SYSCOLUMNS.NAME = "
    "'CDTIPO_ICAM') DROP TABLE TIPOSIDENTIFICATIVOS";

// The key of the release stamp: the object in the central property table, the name in a
// company's.
inline constexpr char kClaveFechaPrograma[] = "PLADIO_FECHA";

}  // namespace app
