#include "app/secuencia/paralelo.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/secuencia/secuencia.h"
#include "run/bloques_log.h"

namespace app {

int EmpresasALaVez(const char* valor, std::string& aviso) {
    aviso.clear();
    if (valor == nullptr) return 1;
    const std::string texto(valor);
    int n = 0;
    bool valido = !texto.empty() && texto.size() <= 3 &&
                  std::all_of(texto.begin(), texto.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (valido) {
        n = std::stoi(texto);
        valido = n >= 1 && n <= kMaximoEmpresasALaVez;
    }
    if (valido) return n;
    aviso = std::string(kVariableParalelo) + "=" + texto + " no es un número de empresas entre 1 y " +
            std::to_string(kMaximoEmpresasALaVez) + ": se actualizan de una en una";
    return 1;
}

namespace {

// The tasks that workers hand to the run's thread. With the context's dispatcher they go
// through it (Notify only wakes the waiting run); without one they wait here until Serve.
class Mailbox {
  public:
    explicit Mailbox(run::RunContext::Dispatcher dispatcher) : dispatcher_(std::move(dispatcher)) {}

    void Post(std::function<void()> task) {
        {
            std::lock_guard lock(mutex_);
            if (dispatcher_)
                dispatcher_(std::move(task));
            else
                tasks_.push_back(std::move(task));
            woken_ = true;
        }
        ready_.notify_one();
    }

    // Waits up to `wait` for a task, then runs those that came.
    void Serve(std::chrono::milliseconds wait) {
        std::deque<std::function<void()>> tasks;
        {
            std::unique_lock lock(mutex_);
            ready_.wait_for(lock, wait, [this] { return woken_; });
            woken_ = false;
            tasks.swap(tasks_);
        }
        for (auto& task : tasks)
            task();
    }

  private:
    run::RunContext::Dispatcher dispatcher_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
    bool woken_ = false;
};

// Mirrors what a worker does to its own grid (one company row) onto the run's grid.
class GridMirror : public run::ProcessGridObserver {
  public:
    GridMirror(Mailbox& mailbox, run::ProcessGrid& grid, int fila)
        : mailbox_(mailbox), grid_(grid), fila_(fila) {}

    void OnRowChanged(const run::ProcessGrid& local, int row) override {
        if (row != run::ProcessGrid::kFirstCompanyRow) return;
        mailbox_.Post([this, status = local.Row(row).status] { grid_.SetStatus(fila_, status); });
    }
    void OnCurrentRowChanged(const run::ProcessGrid&, int row) override {
        if (row == run::ProcessGrid::kFirstCompanyRow)
            mailbox_.Post([this] { grid_.SetCurrentRow(fila_); });
    }
    void OnRepaintRequested(const run::ProcessGrid&) override {
        mailbox_.Post([this] { grid_.RepaintNow(); });
    }

  private:
    Mailbox& mailbox_;
    run::ProcessGrid& grid_;
    int fila_;
};

struct Empresa {
    int fila = 0;
    std::unique_ptr<run::RunContext> ctx;
    std::unique_ptr<GridMirror> espejo;
    int pasosHechos = 0;  // counted on the run's thread
    bool terminada = false;
};

}  // namespace

void RunSequence::EmpresasEnParalelo(run::RunContext& ctx) {
    const int primera = run::ProcessGrid::kFirstCompanyRow;
    const int total = ctx.grid.RowCount() - primera;
    const int pasosPorEmpresa = static_cast<int>(dep_.pasosEmpresa.size());
    const std::filesystem::path log = ctx.log.file();
    Mailbox mailbox(ctx.dispatcher());

    // Every company's context is made here, on the run's thread, from the run's own.
    std::vector<Empresa> empresas(total);
    for (int i = 0; i < total; ++i) {
        Empresa& e = empresas[i];
        e.fila = primera + i;
        e.ctx = std::make_unique<run::RunContext>(ctx.programDirectory, ctx.clock,
                                                  run::ArchivoBloque(log, e.fila));
        e.ctx->parametros = ctx.parametros;
        e.ctx->ActualizarIVAProveedores = ctx.ActualizarIVAProveedores;
        e.ctx->ColeccionBIC = ctx.ColeccionBIC;
        e.ctx->grid.Prepare(ctx.parametros.EmpresaSolicitada);
        e.ctx->grid.AddCompanyRow(ctx.grid.Row(e.fila).text, ctx.grid.Row(e.fila).code);
        e.ctx->SetAvisoOperador([&mailbox, &ctx](std::string_view texto) {
            mailbox.Post([&ctx, texto = std::string(texto)] { ctx.AvisarOperador(texto); });
        });
        e.espejo = std::make_unique<GridMirror>(mailbox, ctx.grid, e.fila);
        e.ctx->grid.AddObserver(e.espejo.get());
        // A block left by a run killed before it could append it was recovered at start-up;
        // whatever is there now is stale.
        std::error_code ignorado;
        std::filesystem::remove(run::ArchivoBloque(log, e.fila), ignorado);
    }

    ctx.progress.SetValue(0);
    ctx.progress.SetMaximum(std::max(1, total * pasosPorEmpresa));
    int pasosHechos = 0;
    int siguienteBloque = 0;
    // On the run's thread: the finished companies whose turn it is go into the log.
    auto anadirBloques = [&] {
        while (siguienteBloque < total && empresas[siguienteBloque].terminada) {
            Empresa& e = empresas[siguienteBloque];
            run::AnadirBloque(log, run::ArchivoBloque(log, e.fila));
            if (e.ctx->HayIncidencias()) ctx.log.SetHayIncidencias(true);
            e.ctx.reset();
            ++siguienteBloque;
        }
    };

    std::atomic<int> proxima{0};
    auto trabajador = [&] {
        for (int i; (i = proxima.fetch_add(1)) < total;) {
            // The tasks run on the run's thread, after this iteration: they hold the company
            // by its address in `empresas`, which outlives them.
            Empresa* e = &empresas[i];
            FaseEmpresa(*e->ctx, primera, [&mailbox, &ctx, &pasosHechos, e] {
                mailbox.Post([&ctx, &pasosHechos, e] {
                    ++e->pasosHechos;
                    ctx.progress.SetValue(++pasosHechos);
                });
            });
            mailbox.Post([&ctx, &pasosHechos, &anadirBloques, pasosPorEmpresa, e] {
                // A company that could not be opened counts all of its steps.
                pasosHechos += pasosPorEmpresa - e->pasosHechos;
                ctx.progress.SetValue(pasosHechos);
                e->terminada = true;
                anadirBloques();
            });
        }
    };
    std::vector<std::thread> hilos;
    for (int h = 0; h < std::min(dep_.empresasALaVez, total); ++h)
        hilos.emplace_back(trabajador);
    while (siguienteBloque < total) {
        ctx.ProcessPendingEvents();
        mailbox.Serve(std::chrono::milliseconds(20));
    }
    for (std::thread& hilo : hilos)
        hilo.join();
}

}  // namespace app
