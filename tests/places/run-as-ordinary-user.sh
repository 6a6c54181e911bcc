#!/bin/sh
# Runs a test program as an ordinary user, since root ignores the permissions it is about. As
# root, the program and the built program folder are copied where that user can reach them: the
# checkout may lie in a folder only root may enter.
#   run-as-ordinary-user.sh TEST_PROGRAM BUILT_PROGRAM_FOLDER [ARGUMENTS...]
set -eu
test_program=$1
built=$2
shift 2
if [ "$(id -u)" -ne 0 ]; then
    exec "$test_program" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/tests" "$work/ostrel"
cp "$test_program" "$work/tests/"
cp "$built/ostrel-build" "$work/ostrel/"
cp -R "$built/plugintemplatepro" "$work/ostrel/"
# The sanitizers' suppressions too, when they name a file.
case ${LSAN_OPTIONS:-} in
suppressions=*)
    cp "${LSAN_OPTIONS#suppressions=}" "$work/lsan.supp"
    export LSAN_OPTIONS="suppressions=$work/lsan.supp"
    ;;
esac
chmod -R a+rX "$work"
setpriv --reuid=nobody --regid=nogroup --clear-groups -- \
    env HOME=/nonexistent "$work/tests/$(basename "$test_program")" "$@"
