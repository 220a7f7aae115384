// A database client library with the fewest entry points its loaders
// take: MySQL's init entry point, and the database server client's init
// and open entry points. Every other entry point is missing.
extern "C" {

// A connection record the loader never looks into.
void* mysql_init(void* mysql) {
  static char record[64];
  return mysql != nullptr ? mysql : record;
}

int WrnDbInit() { return 0; }

int WrnDbOpen(const char*, int, const char*, const char*, const char*) { return 7; }

}  // extern "C"
