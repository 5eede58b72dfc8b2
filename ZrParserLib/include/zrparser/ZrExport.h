// Marks what the shared expression library exports. Everything else in libZrParser.so is hidden,
// so a host and every plug-in module see one copy of each public class, function and type identity.
#pragma once

// Default visibility also gives the exception classes one type identity across modules: a chain
// thrown inside a plug-in module is caught by its host as the same type.
#define ZR_API __attribute__((visibility("default")))
