// The report as the tool writes it, piece by piece, for the tests of every
// platform. Built from the tests' own copy of every text, independently of the
// tool's conversion, so that a mistake there cannot hide. Every piece takes the
// line end the platform's report uses; file names and patterns go in as the
// bytes they are.
#pragma once

#include <string>

// The line end of a report on the platform the tests run for: "\n", or "\r\n"
// on Windows. Defined by each platform's harness.
extern const char* const reportLineEnd;

// utf8 with ä ö ü Ä Ü ß turned into their code page 850 bytes and every "\n"
// written as lineEnd.
std::string expectedText(const std::string& utf8, const char* lineEnd = reportLineEnd);

// The banner box that opens every report.
std::string banner(const char* lineEnd = reportLineEnd);

// "Suche Dateien, deren <basis> mind. <days> Tage zurück liegt."
std::string headline(int days, const char* basis = "letzter Schreibzugriff", const char* lineEnd = reportLineEnd);

std::string testRunLine(const char* lineEnd = reportLineEnd);

std::string patternHeader(const std::string& pattern, const char* lineEnd = reportLineEnd);

std::string nothingFound(const char* lineEnd = reportLineEnd);

// The listing header; column is "(Änderung)  " or "(Erstellung)".
std::string listingHeader(const char* column = "(Änderung)  ", const char* lineEnd = reportLineEnd);

// One listing row: date as "07.03.2007", time as "09:05".
std::string row(const char* status, const std::string& date, const std::string& time, long long age,
                unsigned long long size, const std::string& name, const char* lineEnd = reportLineEnd);

// The row of a file written at local noon daysAgo days back in the test zone.
std::string noonRow(const char* status, int daysAgo, unsigned long long size, const std::string& name);

// The date daysAgo days back in the test zone, "07.03.2007"; each platform's
// harness reckons it its own way.
std::string dateDaysAgo(int daysAgo);

// The count lines of a sweep that found, deleted and failed to delete so many
// files, against the limit days.
std::string countLines(int found, int deleted, int failed, int days = 31, const char* lineEnd = reportLineEnd);

// The line that refuses a pattern too long to sweep; shown is the start of the
// pattern that the line shows.
std::string refusal(const std::string& shown, const char* lineEnd = reportLineEnd);

// The line that refuses a pattern whose way to its directory takes an unsafe
// step; step and pattern go in as the bytes they are.
std::string unsafeWay(const std::string& step, const std::string& pattern, const char* lineEnd = reportLineEnd);
// The line for a pattern whose directory is there but could not be reached or
// listed: the step or directory, and the reason as the report words it.
std::string unreachedWay(const std::string& step, const std::string& reason, const std::string& pattern,
                         const char* lineEnd = reportLineEnd);

// The run summary over so many patterns, with its count lines.
std::string summary(int patterns, int found, int deleted, int failed, int days = 31,
                    const char* lineEnd = reportLineEnd);

// The help text that follows the banner on the help screen, to its end.
std::string helpText(const char* lineEnd = reportLineEnd);
