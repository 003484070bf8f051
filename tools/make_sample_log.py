#!/usr/bin/env python3
"""Writes Default/ex0012.log, the sample log of the shipped sample site.

An IIS 5.0 W3C extended log of December 2000 for a small shop site: many
clients, visits of several pages (some clients come back after more than 30
minutes), pages with their images, downloads, search-engine referrers with
encoded phrases, other referrers, 404s and other codes, crawlers, and the
browsers and platforms of that time. Deterministic (fixed seed): the file
changes only when this script does.

    python3 tools/make_sample_log.py [output path]
"""
import random
import sys
from datetime import datetime, timedelta

rng = random.Random(2000_12)
SITE = "http://www.trelvar-sample.com"
PAGES = ["/", "/default.htm", "/products/index.htm", "/products/widgets.htm",
         "/products/gadgets.htm", "/products/order.asp", "/products/cart.asp",
         "/support/faq.htm", "/support/contact.asp", "/news/2000-12.htm",
         "/news/2000-11.htm", "/about.htm", "/jobs.htm", "/search.asp"]
IMAGES = ["/images/logo.gif", "/images/menu.gif", "/images/photo1.jpg",
          "/images/photo2.jpg", "/style.css", "/scripts/menu.js"]
DOWNLOADS = ["/download/trial.zip", "/download/setup.exe", "/download/manual.pdf"]
MISSING = ["/old/index.htm", "/products/widget.htm", "/favicon.ico", "/images/banner.gif"]
BROWSERS = [
    ("Mozilla/4.0+(compatible;+MSIE+5.5;+Windows+98;+Win+9x+4.90)", 14),
    ("Mozilla/4.0+(compatible;+MSIE+5.5;+Windows+98)", 12),
    ("Mozilla/4.0+(compatible;+MSIE+5.01;+Windows+NT+5.0)", 14),
    ("Mozilla/4.0+(compatible;+MSIE+5.0;+Windows+95)", 6),
    ("Mozilla/4.0+(compatible;+MSIE+6.0b;+Windows+NT+5.0)", 3),
    ("Mozilla/4.0+(compatible;+MSIE+5.0;+Mac_PowerPC)", 3),
    ("Mozilla/4.76+[en]+(Windows+NT+5.0;+U)", 6),
    ("Mozilla/4.7+[de]+(Win98;+I)", 4),
    ("Mozilla/4.75+[en]+(X11;+U;+Linux+2.2.16+i686)", 4),
    ("Mozilla/4.0+(compatible;+MSIE+4.01;+Windows+NT)", 3),
    ("Mozilla/5.0+(Windows;+U;+Win98;+en-US;+m18)+Gecko/20001108+Netscape6/6.0", 2),
    ("Opera/5.0+(Windows+NT+4.0;+U)+[en]", 2),
    ("Mozilla/4.0+(compatible;+MSIE+5.0;+AOL+5.0;+Windows+98)", 3),
    ("Lynx/2.8.3rel.1+libwww-FM/2.14", 1),
    ("Mozilla/3.01+(Macintosh;+I;+PPC)", 1),
]
CRAWLERS = ["Googlebot/2.1+(+http://www.googlebot.com/bot.html)", "Scooter/3.2",
            "Slurp/si+(slurp@inktomi.com;+http://www.inktomi.com/slurp.html)",
            "ia_archiver", "ArchitextSpider"]
SEARCHES = [
    "http://www.google.com/search?q=blue+widgets&hl=en",
    "http://www.google.com/search?hl=de&q=widget%20reparatur",
    "http://www.google.com/search?q=%22gadget+shop%22",
    "http://search.yahoo.com/bin/search?p=cheap+gadgets",
    "http://search.yahoo.com/bin/search?p=widgets%2C+gadgets",
    "http://www.altavista.com/cgi-bin/query?pg=q&kl=XX&q=widget+manual",
    "http://search.msn.com/results.asp?q=trial+download&FORM=SMCRT",
    "http://search.excite.com/search.gw?search=gadgets+online",
    "http://www.lycos.com/cgi-bin/pursuit?query=blue+widgets&cat=lycos",
    "http://search.aol.com/dirsearch.adp?query=gadget%20shop",
    "http://www.alltheweb.com/search?cat=web&q=widget+faq",
    "http://www.hotbot.com/?MT=cheap+widgets&SM=MC",
    "http://www.ask.com/main/askjeeves.asp?ask=where+can+i+buy+widgets",
]
OTHER_REFERRERS = ["http://www.example-links.com/shops.htm",
                   "http://www.dmoz.org/Shopping/Tools/", "http://forum.example.net/thread?id=42"]


def weighted(items):
    total = sum(w for _, w in items)
    r = rng.uniform(0, total)
    for item, w in items:
        r -= w
        if r <= 0:
            return item
    return items[-1][0]


def client_ip():
    return "%d.%d.%d.%d" % (rng.choice([24, 62, 63, 128, 194, 195, 207, 209, 212, 213, 216]),
                            rng.randint(1, 254), rng.randint(1, 254), rng.randint(1, 254))


events = []


def hit(t, ip, url, status, size, agent, ref, query="-"):
    events.append((t, ip, url, query, status, size, agent, ref))


def visit(t, ip, agent, ref):
    for _ in range(rng.randint(1, 8)):
        roll = rng.random()
        if roll < 0.05:
            url, status, size = rng.choice(MISSING), 404, 0
        elif roll < 0.10:
            url, status, size = rng.choice(DOWNLOADS), 200, rng.randint(200000, 3000000)
        else:
            url = rng.choice(PAGES)
            status = rng.choices([200, 304, 302, 500, 403], [88, 8, 2, 1, 1])[0]
            size = rng.randint(900, 30000) if status == 200 else (120 if status == 302 else 0)
        query = "id=%d" % rng.randint(1, 40) if url.endswith(".asp") else "-"
        hit(t, ip, url, status, size, agent, ref, query)
        if status == 200 and (url.endswith(".htm") or url == "/"):
            for img in rng.sample(IMAGES, rng.randint(1, 4)):
                hit(t + timedelta(seconds=1), ip, img, rng.choice([200, 200, 200, 304]),
                    rng.randint(300, 12000), agent, SITE + url)
        ref = SITE + url
        t += timedelta(seconds=rng.randint(5, 600))
    return t


start = datetime(2000, 12, 1)
month = 31 * 86400
for _ in range(650):
    ip, agent = client_ip(), weighted(BROWSERS)
    t = start + timedelta(seconds=rng.randint(0, month - 3 * 86400))
    for _ in range(rng.choices([1, 2, 3], [70, 22, 8])[0]):
        roll = rng.random()
        ref = rng.choice(SEARCHES) if roll < 0.35 else (
            rng.choice(OTHER_REFERRERS) if roll < 0.5 else "-")
        t = visit(t, ip, agent, ref)
        t += timedelta(minutes=rng.randint(31, 3000))  # a gap that starts a new visit
for crawler in CRAWLERS:
    ip = client_ip()
    for day in range(0, 31, rng.randint(2, 5)):
        t = start + timedelta(days=day, seconds=rng.randint(0, 80000))
        hit(t, ip, "/robots.txt", 200, 68, crawler, "-")
        for url in rng.sample(PAGES, 5):
            t += timedelta(seconds=rng.randint(2, 30))
            hit(t, ip, url, 200, rng.randint(900, 30000), crawler, "-",
                "id=1" if url.endswith(".asp") else "-")

events = sorted((e for e in events if e[0] < datetime(2001, 1, 1)), key=lambda e: e[0])
FIELDS = ("#Fields: date time c-ip cs-username cs-method cs-uri-stem cs-uri-query "
          "sc-status sc-bytes cs-bytes time-taken cs(User-Agent) cs(Referer)")


def header(t):
    return ["#Software: Microsoft Internet Information Services 5.0", "#Version: 1.0",
            "#Date: " + t.strftime("%Y-%m-%d %H:%M:%S"), FIELDS]


out = header(events[0][0])
restarted = False
for t, ip, url, query, status, size, agent, ref in events:
    if not restarted and t >= datetime(2000, 12, 15, 3):  # the server was restarted once
        out += header(t)
        restarted = True
    user = "anna" if url.endswith("cart.asp") and rng.random() < 0.3 else "-"
    out.append("%s %s %s %s GET %s %s %d %d %d %d %s %s" % (
        t.strftime("%Y-%m-%d"), t.strftime("%H:%M:%S"), ip, user, url, query, status, size,
        rng.randint(200, 600), rng.randint(0, 2500), agent, ref))
with open(sys.argv[1] if len(sys.argv) > 1 else "Default/ex0012.log", "w", newline="") as f:
    f.write("\r\n".join(out) + "\r\n")
