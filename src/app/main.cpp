// tushu: the library program.
//   tushu                      de.ini beside the executable, book.mdb in the working directory
//   tushu --dir DIR            DIR for both
//   tushu --init DIR [--demo] [--server CONNECTION-STRING]
//                              a new library in DIR (on a PostgreSQL server with --server)
//   tushu --dir DIR --export TABLE FILE.xlsx
//   tushu --dir DIR --backup FOLDER
//   tushu --dir DIR --import-books FILE | --import-readers FILE | --overdue FILE.xlsx
//   tushu --help               every option, in Chinese
#include "app/Startup.h"

int main(int argc, char** argv) { return Startup::main(argc, argv); }
