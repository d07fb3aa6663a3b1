/* A stand-in for Horaplan under Wine: holds one table the way a Windows dBase
 * program does, until a signal file appears.
 *
 *   hold.exe TABLE MODE SIGNAL
 *
 * MODE "exclusivo-y-bloqueo": opened with share mode 0 and one byte locked
 *      with LockFileEx at 0xEFFFFFFF, as dBase engines lock;
 *      "exclusivo": opened with share mode 0, no lock;
 *      "bloqueo":   opened shared, one byte locked at 0xEFFFFFFF;
 *      "probar":    opened shared, tries that lock once, says whether it was
 *                   granted and ends.
 * Prints "listo" once the table is held; lets go when SIGNAL exists. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "uso: hold.exe TABLA MODO SEÑAL\n");
    return 2;
  }
  const char* table = argv[1];
  const char* mode = argv[2];
  const char* signal = argv[3];
  const int trying = strcmp(mode, "probar") == 0;
  const int exclusive = strcmp(mode, "bloqueo") != 0 && !trying;
  const int lock = strcmp(mode, "exclusivo") != 0;

  HANDLE file = CreateFileA(table, GENERIC_READ | GENERIC_WRITE,
                            exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    printf("no se puede abrir %s: error %lu\n", table, GetLastError());
    return 1;
  }
  OVERLAPPED at;
  memset(&at, 0, sizeof at);
  at.Offset = 0xEFFFFFFFu;
  if (lock && !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                          &at)) {
    printf("LockFileEx denegado: error %lu\n", GetLastError());
    return 1;
  }
  if (trying) {
    printf("LockFileEx concedido\n");
    return 0;
  }
  printf("listo\n");
  fflush(stdout);
  while (GetFileAttributesA(signal) == INVALID_FILE_ATTRIBUTES) Sleep(100);
  if (lock) UnlockFileEx(file, 0, 1, 0, &at);
  CloseHandle(file);
  return 0;
}
