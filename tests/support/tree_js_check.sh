#!/bin/sh
# Checks the support files of the report output folder (Default/zeb_out) in
# headless Chromium:
#   - a list page written exactly as the program writes it builds the report
#     tree: report links open in the "details" frame, captions are text;
#   - folders open and close on click, bAutoClose closes open siblings, unsafe
#     links are not made links, the target is escaped;
#   - every image decodes in the browser with its expected size;
#   - the entry page holds the list beside a frame named "details".
# Exit status: 0 all checks passed, 1 a check failed, 77 no Chromium found.
# Usage: tests/support/tree_js_check.sh   (CHROMIUM=/path/to/browser to choose one)

set -u

here=$(cd "$(dirname "$0")" && pwd)
support="$here/../../Default/zeb_out"

browser="${CHROMIUM:-}"
if [ -z "$browser" ]; then
    for candidate in chromium chromium-browser google-chrome; do
        if command -v "$candidate" >/dev/null 2>&1; then
            browser=$(command -v "$candidate")
            break
        fi
    done
fi
if [ -z "$browser" ]; then
    echo "SKIP: no Chromium found (set CHROMIUM)"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/out" "$work/profile"
cp "$support"/* "$work/out/" || { echo "FAIL: cannot copy $support"; exit 1; }

failures=0
fail() {
    echo "FAIL: $1"
    failures=$((failures + 1))
}

# dump PAGE [EXTRA-FLAG]
dump() {
    "$browser" ${2:-} --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/profile" --virtual-time-budget=5000 \
        --dump-dom "file://$work/out/$1" 2>/dev/null
}

# Count of a fixed string in a file.
count() {
    grep -o -F -- "$1" "$2" | wc -l | tr -d ' '
}

# A test page writes its verdict into <pre id="result">; the verdict's text
# also occurs in the page's script, so only the element's content counts.
check_result() {
    verdict=$(grep -o '<pre id="result">[^<]*' "$work/$1.dom" | sed 's/^<pre id="result">//')
    if [ "$verdict" != "RESULT: PASS" ]; then
        fail "$1: ${verdict:-the page script did not run}"
    fi
}

# The list page, letter for letter as the program writes it (CR LF in the head).
head_html='<HTML>\r\n<HEAD>\r\n<LINK HREF="zeb.css" rel=STYLESHEET type=text/css>\r\n<META http-equiv="Pragma" content="no-cache">\r\n<META http-equiv="Cache-Control" content="no-cache">\r\n</HEAD>\r\n<BODY>\r\n'
{
    printf "$head_html"
    printf '%s' '<script src="tree.js"></script><script language="JavaScript">reportstree = new CTree("reportstree");reportstree.bAutoClose = false;reportstree.stTarget = "details";'
    printf '%s' 'f0 = reportstree.AddNode(null, "General <b>bold</b> & co", "");'
    printf '%s' 'reportstree.AddNode(f0, "Hits by hour", "indexdetails.htm#Hits_by_hour");'
    printf '%s' 'reportstree.AddNode(f0, "Top <i>pages</i>", "indexdetails.htm#Top_pages");'
    printf '%s' 'f1 = reportstree.AddNode(null, "Visitors", "");'
    printf '%s' 'reportstree.AddNode(f1, "Browsers", "browsers.htm");'
    printf '%s' 'document.write(reportstree.GetHTMLCode());</script></BODY></HTML>'
} > "$work/out/indexlist.htm"

dump indexlist.htm > "$work/list.dom"
[ -s "$work/list.dom" ] || fail "indexlist.htm: no DOM dumped"
[ "$(count 'target="details"' "$work/list.dom")" = 3 ] || fail "indexlist.htm: expected 3 links with target=\"details\""
for link in 'href="indexdetails.htm#Hits_by_hour" target="details"' \
            'href="indexdetails.htm#Top_pages" target="details"' \
            'href="browsers.htm" target="details"'; do
    grep -q -F -- "$link" "$work/list.dom" || fail "indexlist.htm: missing link $link"
done
grep -q -F -- '>General &lt;b&gt;bold&lt;/b&gt; &amp; co<' "$work/list.dom" \
    || fail "indexlist.htm: the caption with <b> is not shown as text"
grep -q -F -- '>Top &lt;i&gt;pages&lt;/i&gt;<' "$work/list.dom" \
    || fail "indexlist.htm: the report caption with <i> is not shown as text"
# The script's own source holds the captions too; look only at the markup it made.
perl -0pe 's/<script\b.*?<\/script>//gis' "$work/list.dom" > "$work/list.markup"
if grep -q -E -- '<b>bold|<i>pages' "$work/list.markup"; then
    fail "indexlist.htm: a caption became markup"
fi
[ "$(count 'src="folder.gif"' "$work/list.dom")" = 2 ] || fail "indexlist.htm: expected 2 folder icons"
[ "$(count 'src="report.gif"' "$work/list.dom")" = 3 ] || fail "indexlist.htm: expected 3 report icons"
[ "$(count 'src="plus.gif"' "$work/list.dom")" = 2 ] || fail "indexlist.htm: folders should start closed (plus.gif)"
grep -q -F -- 'src="blank.gif"' "$work/list.dom" || fail "indexlist.htm: no blank.gif indentation"

# Behaviour: clicks, auto close, unsafe links, escaping of the target.
cat > "$work/out/behaviour.htm" <<'EOF'
<html><head><link href="zeb.css" rel="stylesheet" type="text/css"></head><body>
<script src="tree.js"></script>
<script>
var t = new CTree("t");
t.bAutoClose = true;
t.stTarget = 'de"tails';
var a = t.AddNode(null, "A", "");
var a1 = t.AddNode(a, "A1", "indexdetails.htm#A1");
var b = t.AddNode(null, "B", "");
t.AddNode(b, "B1", "javascript:alert(1)");
t.AddNode(b, "B2", " JaVa\tScript:alert(2)");
t.AddNode(b, "B3", "https://example.org/x?a=1&b=2");
t.AddNode(null, "Empty", "");
document.write(t.GetHTMLCode());
</script>
<pre id="result"></pre>
<script>
var problems = [];
function expect(ok, what) { if (!ok) { problems.push(what); } }
function shown(node) { return document.getElementById(t.ElementId(node, "c")).style.display !== "none"; }
function toggleSrc(node) { return document.getElementById(t.ElementId(node, "t")).getAttribute("src"); }
function row(node) { return document.getElementById(t.ElementId(node, "r")); }
function click(node, selector) { row(node).querySelector(selector).click(); }

expect(a !== null && typeof a === "object", "AddNode returns a node");
expect(!shown(a) && !shown(b), "folders start closed");
expect(toggleSrc(a) === "plus.gif", "closed folder shows plus.gif");
click(a, ".ctree-toggle");
expect(shown(a) && toggleSrc(a) === "minus.gif", "toggle opens a folder and shows minus.gif");
click(b, ".ctree-caption");
expect(shown(b), "a click on the folder caption opens it");
expect(!shown(a) && toggleSrc(a) === "plus.gif", "bAutoClose closes the open sibling");
click(b, ".ctree-toggle");
expect(!shown(b), "a second click closes the folder");
t.bAutoClose = false;
click(a, ".ctree-toggle");
click(b, ".ctree-toggle");
expect(shown(a) && shown(b), "without bAutoClose siblings stay open");
expect(location.href.indexOf("#") < 0, "folder clicks do not navigate");

var links = document.querySelectorAll("a[target]");
expect(links.length === 2, "only safe links become links (found " + links.length + ")");
for (var i = 0; i < links.length; i++) {
    expect(links[i].getAttribute("target") === 'de"tails', "target attribute kept as text");
}
expect(document.querySelectorAll('a[href^="javascript"], a[href*="cript:"]').length === 0, "no javascript: link");
expect(row(a1).querySelector("a").getAttribute("href") === "indexdetails.htm#A1", "relative link kept");
expect(document.querySelector('a[href="https://example.org/x?a=1&b=2"]') !== null, "& in a link survives escaping");
var empty = t.aNodes[t.aNodes.length - 1];
expect(row(empty).querySelector(".ctree-toggle") === null, "an empty folder has no toggle");
expect(row(empty).querySelector('img[src="folder.gif"]') !== null, "an empty category is still a folder");
document.getElementById("result").textContent =
    problems.length ? "RESULT: FAIL " + problems.join("; ") : "RESULT: PASS";
</script></body></html>
EOF
dump behaviour.htm > "$work/behaviour.dom"
check_result behaviour

# Images: each must decode in the browser with its expected size and pixels.
# (The page reads pixels back through a canvas, which file:// pages may do
# only with --allow-file-access-from-files.)
cat > "$work/out/images.htm" <<'EOF'
<html><body>
<img src="progress.gif" data-size="8x10"><img src="blank.gif" data-size="16x16">
<img src="minus.gif" data-size="16x16"><img src="plus.gif" data-size="16x16">
<img src="report.gif" data-size="16x16"><img src="folder.gif" data-size="16x16">
<pre id="result"></pre>
<script>
function pixels(image) {
    var canvas = document.createElement("canvas");
    canvas.width = image.naturalWidth;
    canvas.height = image.naturalHeight;
    var context = canvas.getContext("2d");
    context.drawImage(image, 0, 0);
    var data = context.getImageData(0, 0, canvas.width, canvas.height).data;
    return function (x, y) {
        var i = (y * canvas.width + x) * 4;
        return { r: data[i], g: data[i + 1], b: data[i + 2], a: data[i + 3] };
    };
}
function dark(p) { return p.a === 255 && p.r + p.g + p.b < 300; }
function light(p) { return p.a === 255 && p.r + p.g + p.b > 600; }
var checks = {
    "progress.gif": function (at) {
        for (var y = 0; y < 10; y++) {
            for (var x = 0; x < 8; x++) {
                var p = at(x, y);
                if (p.a !== 255 || p.b <= p.r) { return false; }
            }
        }
        var top = at(0, 0), bottom = at(0, 9);
        return top.r + top.g + top.b > bottom.r + bottom.g + bottom.b;
    },
    "blank.gif": function (at) {
        for (var y = 0; y < 16; y++) {
            for (var x = 0; x < 16; x++) {
                if (at(x, y).a !== 0) { return false; }
            }
        }
        return true;
    },
    "plus.gif": function (at) {
        return at(0, 0).a === 0 && dark(at(7, 8)) && dark(at(5, 8)) && dark(at(7, 6)) && light(at(5, 6));
    },
    "minus.gif": function (at) {
        return at(0, 0).a === 0 && dark(at(7, 8)) && dark(at(5, 8)) && light(at(7, 6));
    },
    "report.gif": function (at) {
        var line = at(6, 7);
        return at(0, 0).a === 0 && light(at(6, 6)) && line.a === 255 && line.b > line.r + 100;
    },
    "folder.gif": function (at) {
        var front = at(8, 10);
        return at(0, 0).a === 0 && front.a === 255 && front.r > front.g && front.g > front.b + 60;
    }
};
window.onload = function () {
    var bad = [];
    var images = document.images;
    for (var i = 0; i < images.length; i++) {
        var name = images[i].getAttribute("src");
        var size = images[i].naturalWidth + "x" + images[i].naturalHeight;
        var ok = images[i].complete && size === images[i].getAttribute("data-size");
        try {
            ok = ok && checks[name](pixels(images[i]));
        } catch (e) {
            ok = false;
            size += " " + e.name;
        }
        if (!ok) {
            bad.push(name + " " + size);
        }
    }
    document.getElementById("result").textContent =
        bad.length ? "RESULT: FAIL " + bad.join(", ") : "RESULT: PASS";
};
</script></body></html>
EOF
dump images.htm --allow-file-access-from-files > "$work/images.dom"
check_result images

# Entry page: the list beside a frame named "details" that starts with the details page.
printf '<html><body><h2>details</h2></body></html>' > "$work/out/indexdetails.htm"
dump index.htm > "$work/index.dom"
grep -q -F -- '<title>Trelvar</title>' "$work/index.dom" || fail "index.htm: title is not Trelvar"
grep -q -E -- 'name="details"[^>]*src="indexdetails.htm"|src="indexdetails.htm"[^>]*name="details"' "$work/index.dom" \
    || fail "index.htm: no frame named details showing indexdetails.htm"
grep -q -F -- 'src="indexlist.htm"' "$work/index.dom" || fail "index.htm: indexlist.htm is not shown"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "PASS: support files"
exit 0
