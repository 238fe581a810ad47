// The update log: the text file beside the program in which every outcome of a run is reported
// for support staff, and the run-wide incident flag that decides the run's final message.
//
// The file is created anew by IniciarLog and every entry is appended by opening, writing and
// closing it again, so that the file is complete at every moment, also if the program is killed.
// Each entry is one line followed by a separator of twenty "-", in Windows-1252 with CRLF line
// ends. A failure to write (locked file, directory not writable) loses that entry and nothing
// else: the log never stops the program. The first such failure is handed to the failure hook
// (the operator is told there, since the log cannot tell anyone); later ones are not.
//
// Thread safety: none; a log is written from its run context's one thread (see RunContext).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "run/date_time_text.h"

namespace run {

// Levels of EscribirLog; any other level writes nothing.
inline constexpr std::int16_t kNivelError = 1;
inline constexpr std::int16_t kNivelInformacion = 2;
inline constexpr std::int16_t kNivelAdvertencia = 3;

inline constexpr char kLogFileName[] = "LogActualizacion.txt";

class UpdateLog {
  public:
    UpdateLog(std::filesystem::path file, Clock clock);

    // Creates the file anew (discarding what was there) with the start line and a separator.
    void IniciarLog();

    // Appends one entry and its separator. Level 1 (error) also sets the incident flag; levels
    // other than 1, 2 and 3 write nothing and change nothing.
    void EscribirLog(std::string_view procedimiento, std::string_view mensaje,
                     std::string_view textoServidor, std::int16_t nivel);

    // True once a level-1 entry has been written since the flag was last cleared.
    bool HayIncidencias() const { return hay_incidencias_; }
    // The run clears the flag when it starts.
    void SetHayIncidencias(bool value) { hay_incidencias_ = value; }

    // The current date and time as the log writes them.
    std::string NowText() const { return DateTimeText(clock_()); }

    const std::filesystem::path& file() const { return file_; }

    // Called once, on the first entry that could not be written, with the file and the
    // system's reason.
    using FailureHook = std::function<void(const std::filesystem::path& file, std::string_view reason)>;
    void SetFailureHook(FailureHook hook) { failure_hook_ = std::move(hook); }

  private:
    // Writes `line` and the separator, converted to Windows-1252, with CRLF line ends.
    void Write(std::string_view line, const char* mode);

    std::filesystem::path file_;
    Clock clock_;
    bool hay_incidencias_ = false;
    FailureHook failure_hook_;
    bool failure_reported_ = false;
};

}  // namespace run
