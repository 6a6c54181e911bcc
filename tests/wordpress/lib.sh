# Helpers of the WordPress test: results, requests and the site's keys. Sourced.

passed=0
failed=0

pass() {
    echo "PASS: $1"
    passed=$((passed + 1))
}

# fail WHAT [DETAIL]...
fail() {
    echo "FAIL: $1"
    shift
    local line
    for line in "$@"; do
        printf '      %s\n' "$line"
    done
    failed=$((failed + 1))
}

# check WHAT COMMAND...: passes when the command succeeds.
check() {
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

# verdict WHAT [DETAIL]...: passes when the command just before succeeded. A command
# substitution in the details would set $? itself: work details out before that command.
verdict() {
    local status=$?
    if [ "$status" -eq 0 ]; then pass "$1"; else fail "$@"; fi
}

# expect_none WHAT PROBLEM...: passes when no problem was found.
expect_none() {
    local what=$1
    shift
    if [ $# -eq 0 ]; then pass "$what"; else fail "$what" "$@"; fi
}

finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ] && exit 0
    exit 1
}

# The test cannot go on without this step.
abort() {
    fail "$@"
    finish
}

show_log() {
    [ -s "$2" ] || return 0
    echo "---- $1 (last 40 lines) ----"
    tail -n 40 "$2"
}

wp() {
    php "$here/wp-helper.php" "$site_dir" "127.0.0.1:$port" "$@"
}

# field KEY < "KEY<TAB>VALUE" lines
field() {
    awk -F '\t' -v key="$1" '$1 == key { sub(/^[^\t]*\t/, ""); print; exit }'
}

contains() { grep -qF -- "$2" "$1"; }
lacks() { ! grep -qF -- "$2" "$1"; }

# fetch URL FILE [CURL OPTION]...: saves the body, prints the status.
fetch() {
    local url=$1 file=$2
    shift 2
    curl -sS --max-time 120 -o "$file" -w '%{http_code}' "$@" "$url"
}

# redirect URL [CURL OPTION]...: prints the status and where it redirects to.
redirect() {
    local url=$1
    shift
    curl -sS --max-time 60 -o /dev/null -w '%{http_code} %{redirect_url}' "$@" "$url"
}

# login USER PASSWORD JAR: logs in through wp-login.php, keeping the cookies in JAR.
login() {
    local status
    fetch "$site/wp-login.php" /dev/null -c "$3" >/dev/null
    status=$(fetch "$site/wp-login.php" /dev/null -b "$3" -c "$3" --data-urlencode "log=$1" \
        --data-urlencode "pwd=$2" -d testcookie=1 --data-urlencode "redirect_to=$site/wp-admin/")
    [ "$status" = 302 ]
}

# post_form PAGE ACTION[@NAME] JAR [NAME=VALUE]...: posts the form of PAGE whose action ends
# with ACTION (and whose hidden "action" is NAME), hidden fields and nonce included; prints the
# status and where it redirects to.
post_form() {
    local page=$1 action=$2 jar=$3 body
    shift 3
    body=$(php "$here/html-tool.php" form "$page" "$action" "$@") || return 1
    redirect "$site/wp-admin/${action%%@*}" -b "$jar" --data-binary "$body"
}
