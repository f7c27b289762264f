#include "fleet/LibPq.h"

#include <dlfcn.h>

namespace
{
struct Loaded {
    LibPq functions;
    std::string error; // empty once every function is found
};

template <typename F> bool find(void* library, const char* name, F& function)
{
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

Loaded load()
{
    Loaded loaded;
    void* library = dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        loaded.error = std::string("the PostgreSQL client library (libpq.so.5) cannot be loaded: ") +
                       (why ? why : "not found");
        return loaded;
    }
    LibPq& f = loaded.functions;
    const bool all = find(library, "PQconnectdb", f.PQconnectdb) && find(library, "PQfinish", f.PQfinish) &&
                     find(library, "PQstatus", f.PQstatus) && find(library, "PQdb", f.PQdb) &&
                     find(library, "PQhost", f.PQhost) && find(library, "PQerrorMessage", f.PQerrorMessage) &&
                     find(library, "PQexec", f.PQexec) && find(library, "PQexecParams", f.PQexecParams) &&
                     find(library, "PQresultStatus", f.PQresultStatus) &&
                     find(library, "PQntuples", f.PQntuples) && find(library, "PQgetvalue", f.PQgetvalue) &&
                     find(library, "PQgetlength", f.PQgetlength) && find(library, "PQclear", f.PQclear);
    if (!all)
        loaded.error = "the PostgreSQL client library (libpq.so.5) lacks a function the catalogue uses";
    // The library stays loaded for the life of the process: connections may
    // be open until its end.
    return loaded;
}
} // namespace

const LibPq* pmLibPq(std::string& error)
{
    static const Loaded loaded = load(); // thread-safe once
    if (!loaded.error.empty()) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.functions;
}
