#!/usr/bin/env python3
"""Writes Default/ex0012.log, the sample log of the shipped sample site.

An IIS 5.0 W3C extended log of December 2000 for a small shop site: a few
hundred visitors, pages with their images, search engine referrers, a few
errors. Deterministic (fixed seed), so the file only changes with this script.
"""
import random
import sys
from datetime import datetime, timedelta

random.seed(12)
pages = ["/", "/default.htm", "/products/index.htm", "/products/widgets.htm",
         "/products/gadgets.htm", "/products/order.asp", "/support/faq.htm",
         "/support/contact.asp", "/news/2000-12.htm", "/about.htm", "/download/trial.zip",
         "/download/manual.pdf"]
images = ["/images/logo.gif", "/images/menu.gif", "/images/photo1.jpg", "/style.css"]
agents = [
    "Mozilla/4.0+(compatible;+MSIE+5.5;+Windows+98;+Win+9x+4.90)",
    "Mozilla/4.0+(compatible;+MSIE+5.01;+Windows+NT+5.0)",
    "Mozilla/4.0+(compatible;+MSIE+6.0;+Windows+NT+5.1)",
    "Mozilla/4.75+[en]+(X11;+U;+Linux+2.2.16+i686)",
    "Mozilla/4.0+(compatible;+MSIE+5.0;+Mac_PowerPC)",
    "Mozilla/4.7+[de]+(Win98;+I)",
    "Opera/5.0+(Windows+NT+4.0;+U)+[en]",
    "Googlebot/2.1+(+http://www.googlebot.com/bot.html)",
    "Lynx/2.8.3rel.1+libwww-FM/2.14",
]
referrers = ["-", "-", "-", "http://www.google.com/search?q=blue+widgets",
             "http://search.yahoo.com/bin/search?p=gadget+shop",
             "http://www.altavista.com/cgi-bin/query?q=cheap+widgets",
             "http://www.example-links.com/shops.htm"]
out = []
start = datetime(2000, 12, 1)
out.append("#Software: Microsoft Internet Information Services 5.0")
out.append("#Version: 1.0")
out.append("#Date: 2000-12-01 00:00:12")
out.append("#Fields: date time c-ip cs-username cs-method cs-uri-stem cs-uri-query "
           "sc-status sc-bytes cs-bytes time-taken cs(User-Agent) cs(Referer)")
events = []
for visitor in range(420):
    ip = "%d.%d.%d.%d" % (random.choice([62, 80, 194, 195, 212, 213, 24, 63, 128]),
                          random.randint(1, 254), random.randint(1, 254), random.randint(1, 254))
    agent = random.choice(agents)
    t = start + timedelta(seconds=random.randint(0, 31 * 86400 - 3600))
    ref = random.choice(referrers)
    for step in range(random.randint(1, 7)):
        page = random.choice(pages)
        status = 200 if random.random() > 0.06 else random.choice([404, 304, 500])
        size = random.randint(800, 24000) if status == 200 else 0
        query = "id=%d" % random.randint(1, 40) if page.endswith(".asp") else "-"
        events.append((t, ip, page, query, status, size, agent, ref))
        ref = "http://www.trelvar-sample.com" + page
        if page.endswith(".htm") or page == "/":
            for img in random.sample(images, random.randint(1, 3)):
                events.append((t + timedelta(seconds=1), ip, img, "-", 200,
                               random.randint(300, 9000), agent, ref))
        t += timedelta(seconds=random.randint(5, 400))
events.sort(key=lambda e: e[0])
for t, ip, page, query, status, size, agent, ref in events:
    out.append("%s %s %s - GET %s %s %d %d %d %d %s %s" % (
        t.strftime("%Y-%m-%d"), t.strftime("%H:%M:%S"), ip, page, query, status, size,
        random.randint(200, 600), random.randint(0, 2500), agent, ref))
with open(sys.argv[1] if len(sys.argv) > 1 else "Default/ex0012.log", "w", newline="") as f:
    f.write("\r\n".join(out) + "\r\n")
