// actualiza-catalogos: brings the central database and every company database up to this
// release's schema and reference data, reporting to LogActualizacion.txt beside the program.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>

#include "app/command_line.h"
#include "app/console_view.h"
#include "app/display.h"
#include "app/secuencia/paralelo.h"
#include "app/secuencia/secuencia.h"
#include "app/session.h"
#include "app/usage.h"
#include "app/window/window_view.h"
#include "engine/allocator_tuning.h"
#include "run/program_directory.h"
#include "run/run_context.h"

int main(int argc, char** argv) {
    engine::tuneAllocator(argv);
    run::RunContext context(run::ProgramDirectory());
    app::RunSequence::Dependencias dependencias = app::RunSequence::DependenciasDelPrograma();
    // Notices for the operator go to standard error from the start (the log may be what fails).
    context.SetAvisoOperador(app::AvisoEnSalida(std::cerr));
    std::string aviso;
    dependencias.empresasALaVez = app::EmpresasALaVez(std::getenv(app::kVariableParalelo), aviso);
    if (!aviso.empty()) context.AvisarOperador(aviso);
    app::RunSequence run_sequence(std::move(dependencias));
    app::Session session(context, &run_sequence);
    const std::string command_line = app::JoinArguments(argc, argv);
    if (!session.Load(command_line))
        return app::ReportRejectedLine(command_line, run::FechaPrograma(), session.ExitCode(),
                                       std::cout, std::cerr);

    if (app::HasDisplay([](const char* name) { return std::getenv(name); }))
        return app::ExecWindowView(session, argv[0]);
    app::ConsoleIo io{std::cerr, isatty(STDERR_FILENO) != 0,
                      isatty(STDIN_FILENO) != 0 ? &std::cin : nullptr};
    return app::ExecConsoleView(session, io);
}
