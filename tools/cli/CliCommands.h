#pragma once
// The command table of orvan-cli: one line per command. Each names the
// command, the function in its own file that reads its words (a TPlan
// NAME(const Options&) in namespace orvan::cli), whether it needs a board,
// its arguments and what it does; the usage text is made from these lines.
// A new command is one line here and its own file.

#define ORVAN_CLI_COMMANDS(X)                                                                      \
    X("demo", Demo, true, "", "ask the board who it is, printing every line sent and received")    \
    X("info", Info, true, "[--json]",                                                              \
      "firmware version, protocol version, board type and serial number")                          \
    X("read-var", ReadVar, true, "VAR [--json]",                                                   \
      "read a variable, by name (ClockTime) or hex code (0x0300): each field by its caption, "     \
      "as shown; with --json also the raw number the board sent, the exact value and its unit")    \
    X("write-var", WriteVar, true, "VAR VALUE...",                                                 \
      "write a variable, one value per field in the order the board takes them (ClockDate "        \
      "also as YYYY-MM-DD, ClockTime as HH:MM:SS); what it held is read first and said")           \
    X("status", Status, true, "[--count N] [--json]",                                              \
      "poll the live status (I/O, analog inputs, anomalies, hours, power readings) every "         \
      "150 ms, one line per cycle (JSON Lines with --json), N cycles or until interrupted")        \
    X("config-read", ConfigRead, true, "OUT.wcf [--force]",                                        \
      "read the board's configuration into a file (--force replaces a configuration file)")        \
    X("config-write", ConfigWrite, true, "IN.wcf [--backup-dir DIR] [--force]",                    \
      "keep what the board holds as a backup in DIR, write the file, read it back and list "       \
      "what differs; --force writes a file with missing keys or values out of range, over a "      \
      "board whose configuration fails its checksum or has another layout")                        \
    X("config-verify", ConfigVerify, true, "IN.wcf [--json]",                                      \
      "list the fields in which the board differs from the file (exit 1 when any)")                \
    X("config-restore", ConfigRestore, true, "BACKUP.wcf [--backup-dir DIR] [--force]",            \
      "write a backup back: the exact image kept beside it when there is one, else its values")    \
    X("clock-get", ClockGet, true, "[--json]", "the board clock's date, time and whether it runs") \
    X("clock-set", ClockSet, true, "--from-pc | DATE TIME",                                        \
      "set the board clock (DATE YYYY-MM-DD, TIME HH:MM:SS)")                                      \
    X("clock-run", ClockRun, true, "on|off", "start or halt the board clock")                      \
    X("set-serial", SetSerial, true, "TEXT",                                                       \
      "write the serial number (at most 15 characters), read it back")                             \
    X("set-hours", SetHours, true, "N", "set the source hours counter (decimals allowed)")         \
    X("set-tuning-date", SetTuningDate, true, "DATE [TIME]",                                       \
      "set the factory tuning date (TIME defaults to 00:00:00)")                                   \
    X("eeprom-dump", EepromDump, true, "OUT.bin [--force]",                                        \
      "the whole 1024-byte memory, read twice alike, into a file")                                 \
    X("eeprom-read", EepromRead, true, "ADDR LEN [--json]",                                        \
      "list LEN bytes (1 to 32) from ADDR as the EEPROM page does (--json: one object a row)")     \
    X("eeprom-write", EepromWrite, true, "ADDR TEXT [--yes]",                                      \
      "write the characters of TEXT from ADDR, what they replace kept first; below address "       \
      "400 (the serial number, the configuration) only with --yes or when answered yes")           \
    X("eeprom-format", EepromFormat, true, "--yes [--dump FILE]",                                  \
      "erase the memory (all FF) after keeping it in FILE (default "                               \
      "eeprom-before-format-DATE-TIME.bin here, never an existing file)")                          \
    X("eeprom-restore", EepromRestore, true, "IN.bin [--yes]",                                     \
      "write a dump file back, read it back and compare (--yes: even over a board whose "          \
      "serial number differs)")                                                                    \
    X("tuning-log", TuningLog, true, "OUT.log [--force]",                                          \
      "read the configuration and the tuning log, save the log")                                   \
    X("diagnosis", Diagnosis, true, "--meter|--photodiode [--json]",                               \
      "run the power diagnosis, its points listed at its end (--json: JSON Lines of its "          \
      "progress, points and end)")                                                                 \
    X("tuning", Tuning, true, "--factory|--secondary [--yes] [--code-on] [--json]",                \
      "run a power tuning to its end, then show the new tuning log (a factory tuning asks "        \
      "first; --yes answers yes; --code-on switches the security code on first, which the "        \
      "program does anyway when the board's protocol wants it; --json: JSON Lines of its "         \
      "progress, points, new log entries and end)")                                                \
    X("event-log", EventLog, true, "[--json]",                                                     \
      "the board's event log, one event a line (JSON Lines with --json)")                          \
    X("flanging-profiles", FlangingProfiles, true, "[--json]",                                     \
      "the flanging machine's profile table (8, or 16 on board type 0A00)")                        \
    X("service-report", ServiceReport, true, "OUT.html [--backup-dir DIR] [--no-logs] [--force]",  \
      "one HTML file with the board's identity, clock, hours, configuration (and its "             \
      "differences from the newest backup), tuning and event logs (unless --no-logs) and the "     \
      "last lines of traffic; exit 1 when something is missing")                                   \
    X("ports", Ports, false, "[--json]",                                                           \
      "the serial devices of this machine, with the maker, product and serial number of the "      \
      "USB adapter behind each")                                                                   \
    X("find", Find, false, "[DEVICE...] [--json]",                                                 \
      "ask every serial device (or those named) for a board's firmware version, as the "           \
      "window's Find board does, at --speed; exit 1 when none answers")                            \
    X("wcf-to-image", WcfToImage, false, "FILE.wcf OUT.bin [--force]",                             \
      "a configuration file as the 384-byte image the board keeps at EEPROM 16..399")              \
    X("image-to-wcf", ImageToWcf, false, "IN.bin OUT.wcf [--force]",                               \
      "a board image (or a 1024-byte EEPROM dump) as a configuration file; a damaged image "       \
      "only with --force")                                                                         \
    X("wcf-show", WcfShow, false, "FILE.wcf", "list a configuration file: field, raw, value")      \
    X("history", History, false,                                                                   \
      "[SERIAL | diff ID ID | restore ID [--force] | export SERIAL FILE | import FILE] [--json]",  \
      "the boards met; a board's timeline (exit 1 when a file it kept is missing or changed); "    \
      "two records' configurations field by field; a record's configuration written back "         \
      "(needs --device or --simulate; backup first; --force for another board's); a board's "      \
      "records into a new file, or such a file's records into the history")
