#pragma once
// The PostgreSQL client library, loaded the first time a PostgreSQL
// catalogue is opened. Linked directly it would be loaded at every start of
// the command line and the application, with the two dozen libraries it pulls
// in (TLS, Kerberos, LDAP), for a catalogue most users never name; loaded here
// it costs nothing until then, and a machine without it runs everything else.
// The functions keep libpq's own names.
#include <libpq-fe.h>

#include <string>

struct LibPq {
    decltype(&::PQconnectdb) PQconnectdb = nullptr;
    decltype(&::PQfinish) PQfinish = nullptr;
    decltype(&::PQstatus) PQstatus = nullptr;
    decltype(&::PQdb) PQdb = nullptr;
    decltype(&::PQhost) PQhost = nullptr;
    decltype(&::PQerrorMessage) PQerrorMessage = nullptr;
    decltype(&::PQexec) PQexec = nullptr;
    decltype(&::PQexecParams) PQexecParams = nullptr;
    decltype(&::PQresultStatus) PQresultStatus = nullptr;
    decltype(&::PQntuples) PQntuples = nullptr;
    decltype(&::PQgetvalue) PQgetvalue = nullptr;
    decltype(&::PQgetlength) PQgetlength = nullptr;
    decltype(&::PQclear) PQclear = nullptr;
};

// The library with every function found, loaded once (any thread); null,
// with `error` saying why, when it cannot be loaded.
const LibPq* pmLibPq(std::string& error);
