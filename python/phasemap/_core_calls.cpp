// How every call of the extension phasemap._core runs (see _core_calls.hpp).
#include "_core_calls.hpp"

#include <fenv.h>
#include <pthread.h>

#include <atomic>
#include <ctime>
#include <exception>

namespace py = pybind11;

namespace {

// How often a call that waits for its turn looks for a Python signal handler to run.
constexpr long turn_poll_ns = 20 * 1000 * 1000;

pthread_mutex_t module_lock = PTHREAD_MUTEX_INITIALIZER;
// Set while a call holds the lock and the core's run state is in use, so that a forked child
// knows what to forget.
std::atomic<bool> call_in_progress{false};
// For the tests: called with the interpreter's lock each time a call that waits for its
// turn looks again (nullptr: none).
PyObject* wait_hook = nullptr;
// The module's exceptions Stopped and Fault.
PyObject* stopped_error = nullptr;
PyObject* fault_error = nullptr;

// In a child forked while another thread was inside a call: the lock is free again and that
// call is forgotten.
void reset_in_forked_child() {
    pthread_mutex_init(&module_lock, nullptr);
    if (!call_in_progress.load()) return;
    forget_run_after_fork();
    call_in_progress.store(false);
}

// Runs `work` in the program's floating-point environment, with the core's messages
// collected into `outcome`.
void run_guarded(const std::function<void()>& work, call_outcome& outcome) {
    fenv_t caller_environment;
    fegetenv(&caller_environment);
    fesetenv(FE_DFL_ENV);
    call_in_progress.store(true);
    set_message_sink(&outcome.messages);
    std::exception_ptr unexpected;
    try {
        work();
    } catch (const run_stopped& stop) {
        outcome.end = stop.is_fault ? call_outcome::ending::fault : call_outcome::ending::stopped;
        outcome.stop = stop;
    } catch (...) {
        unexpected = std::current_exception();
    }
    set_message_sink(nullptr);
    call_in_progress.store(false);
    fesetenv(&caller_environment);
    if (unexpected) std::rethrow_exception(unexpected);
}

// Whether a Python signal handler raised (the error is then set) or the tests' hook did;
// needs the interpreter's lock.
bool python_gives_up() {
    if (PyErr_CheckSignals() != 0) return true;
    if (wait_hook == nullptr) return false;
    PyObject* result = PyObject_CallNoArgs(wait_hook);
    Py_XDECREF(result);
    return result == nullptr;
}

// The core's hook while a run waits for another run's lock on its folder: the run gives up,
// writing nothing, when a Python signal handler raised (the error is then set).
bool give_up_waiting() {
    const py::gil_scoped_acquire acquired;
    return python_gives_up();
}

// Takes the module lock, without the interpreter's lock while it waits; false, with the
// Python error set, when a signal handler raised meanwhile.
bool take_module_lock() {
    if (pthread_mutex_trylock(&module_lock) == 0) return true;
    for (;;) {
        timespec deadline{};
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_nsec += turn_poll_ns;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_nsec -= 1000000000L;
            ++deadline.tv_sec;
        }
        if (pthread_mutex_clocklock(&module_lock, CLOCK_MONOTONIC, &deadline) == 0) return true;
        const py::gil_scoped_acquire acquired;
        if (python_gives_up()) return false;
    }
}

struct module_lock_held {
    module_lock_held() = default;
    ~module_lock_held() { pthread_mutex_unlock(&module_lock); }
    module_lock_held(const module_lock_held&) = delete;
    module_lock_held& operator=(const module_lock_held&) = delete;
};

py::object positive_or_none(int32_t value) {
    return value > 0 ? py::object(py::int_(value)) : py::object(py::none());
}

}  // namespace

void prepare_calls(py::module_& m) {
    // Python keeps its own signal handling and floating-point traps: a Ctrl-C during a run
    // raises KeyboardInterrupt once the run has ended, instead of ending the interpreter.
    run_inside_host(true);
    set_lock_wait_hook(give_up_waiting);
    pthread_atfork(nullptr, nullptr, reset_in_forked_child);
    stopped_error = PyErr_NewException("phasemap._core.Stopped", PyExc_ValueError, nullptr);
    fault_error = PyErr_NewException("phasemap._core.Fault", PyExc_ArithmeticError, nullptr);
    m.attr("Stopped") = py::handle(stopped_error);
    m.attr("Fault") = py::handle(fault_error);
}

void set_wait_hook(const py::object& hook) {
    PyObject* previous = wait_hook;
    wait_hook = hook.is_none() ? nullptr : hook.inc_ref().ptr();
    Py_XDECREF(previous);
}

call_outcome locked_call(const std::function<void()>& work) {
    call_outcome outcome;
    bool taken = false;
    {
        const py::gil_scoped_release released;
        taken = take_module_lock();
        if (taken) {
            const module_lock_held held;
            run_guarded(work, outcome);
        }
    }
    if (!taken) throw py::error_already_set();
    return outcome;
}

py::str shown(const std::string& text) {
    PyObject* decoded =
        PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "backslashreplace");
    if (decoded == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(decoded);
}

py::list message_list(const call_outcome& outcome) {
    py::list lines;
    bool repeated_stop = outcome.end == call_outcome::ending::complete;
    for (const message_line& line : outcome.messages) {
        if (!repeated_stop && !line.is_warning && line.text == outcome.stop.message) {
            repeated_stop = true;
            continue;
        }
        lines.append(py::make_tuple(line.is_warning, shown(line.text)));
    }
    return lines;
}

py::tuple finished(const call_outcome& outcome, py::object value) {
    py::list messages = message_list(outcome);
    if (outcome.end == call_outcome::ending::complete) return py::make_tuple(value, messages);
    const run_stopped& stop = outcome.stop;
    py::tuple arguments = outcome.end == call_outcome::ending::fault
                              ? py::make_tuple(shown(stop.message), messages)
                              : py::make_tuple(shown(stop.message), positive_or_none(stop.unit),
                                               positive_or_none(stop.line), messages);
    PyErr_SetObject(outcome.end == call_outcome::ending::fault ? fault_error : stopped_error,
                    arguments.ptr());
    throw py::error_already_set();
}
