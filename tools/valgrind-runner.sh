#!/bin/sh
# Runs one program under valgrind's memcheck: set as TOOLKIT_RUNNER, the end-to-end tests start
# every program through it. A memory error or a leak makes the program end with status 99 (which
# no test expects); with VALGRIND_LOG_DIR set, each run leaves its report there (empty when clean).
if [ -n "${VALGRIND_LOG_DIR:-}" ]; then
  exec valgrind --error-exitcode=99 -q --leak-check=full --log-file="$VALGRIND_LOG_DIR/%p.log" "$@"
fi
exec valgrind --error-exitcode=99 -q --leak-check=full "$@"
