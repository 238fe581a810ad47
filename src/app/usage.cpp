#include "app/usage.h"

namespace app {

bool AsksForVersion(std::string_view command_line) {
    return command_line == "--version";
}

std::string_view UsageText() {
    return "usage: actualiza-catalogos USER,PASSWORD,SERVER[,SELECTOR]\n"
           "       actualiza-catalogos '\"USER\",\"PASSWORD\",\"SERVER\"[,\"SELECTOR\"]'\n"
           "       actualiza-catalogos --version\n"
           "USER is a SQL Server login, or NULL for integrated security; SERVER is host, "
           "host:port,\n"
           "or a data directory of the embedded engine (a path holding '/'); SELECTOR is empty "
           "for\n"
           "every database, VARDEX for the central one, or a company code.\n"
           "The log LogActualizacion.txt is written beside the program. See "
           "actualiza-catalogos(1).\n";
}

int ReportRejectedLine(std::string_view command_line, std::string_view release, int rejected_status,
                       std::ostream& out, std::ostream& err) {
    if (AsksForVersion(command_line)) {
        out << "actualiza-catalogos " << release << "\n";
        return 0;
    }
    err << UsageText();
    return rejected_status;
}

}  // namespace app
