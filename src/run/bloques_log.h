// The company blocks of the update log when companies are updated side by side.
//
// Each company updated in parallel writes its entries into a file of its own beside the log,
// LogActualizacion.<order>.txt, where <order> is the company's grid row (six digits), in the
// layout of the log itself (UpdateLog writes it, entry by entry, opened and closed for each
// one). Once every earlier company's block is in the log, the run appends the company's file
// to the log and removes it: the log then reads as the sequential run writes it, the central
// phase, one contiguous block per company in grid order, the final message.
//
// A program killed meanwhile leaves those files behind, every entry in one of them; the next
// run appends them to the log it finds, in grid order, before it starts its own
// (RecuperarBloques), so no entry of the interrupted run is lost or left out of order.
//
// Appending a block is safe to repeat: a block the log already ends with is not appended again
// (a kill between the append and the removal of the file).
//
// Thread safety: the functions touch only the files they are given; one caller per log.
#pragma once

#include <filesystem>
#include <vector>

namespace run {

// The block file of the company in grid row `orden`, beside `log`.
std::filesystem::path ArchivoBloque(const std::filesystem::path& log, int orden);

// The block files beside `log` left by an earlier run, in grid order.
std::vector<std::filesystem::path> BloquesPendientes(const std::filesystem::path& log);

// Appends the block file to the log (unless the log ends with it already) and removes it.
// False when the block could not be appended; the file is then kept.
bool AnadirBloque(const std::filesystem::path& log, const std::filesystem::path& bloque);

// Appends every block file an interrupted run left, in grid order. Returns how many.
int RecuperarBloques(const std::filesystem::path& log);

}  // namespace run
