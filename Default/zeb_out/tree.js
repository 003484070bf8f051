/*
 * Report tree of the Trelvar list page.
 *
 * The list page builds the tree and writes it while the page loads:
 *
 *   reportstree = new CTree("reportstree");
 *   reportstree.bAutoClose = false;        // true: opening a folder closes its open siblings
 *   reportstree.stTarget = "details";      // frame or window the links open in
 *   f0 = reportstree.AddNode(null, "Category", "");
 *   reportstree.AddNode(f0, "Report", "indexdetails.htm#Report");
 *   document.write(reportstree.GetHTMLCode());
 *
 * Further properties: bStartOpen (folders are drawn open, default false) and
 * stImagePath (prefix of the image names, default "" = the page's folder).
 *
 * Captions and links are plain text: they are escaped before they enter the
 * HTML. Only relative, http: and https: links become links; anything else
 * (javascript:, data:, ...) is shown as a caption without a link.
 * Plain ES5, no libraries; works from file:// pages.
 */
function CTree(name) {
    this.name = String(name);
    this.bAutoClose = false;
    this.bStartOpen = false;
    this.stTarget = "";
    this.stImagePath = "";
    this.aNodes = [];
    this.aRoots = [];
    this.nIndex = CTree.aTrees.length;
    this.nSelected = -1;
    CTree.aTrees.push(this);
}

// Every tree of the page, so that the click handlers in the generated HTML
// find their tree by number rather than by a global variable name.
CTree.aTrees = [];

CTree.EscapeHtml = function (value) {
    return String(value === null || value === undefined ? "" : value)
        .replace(/&/g, "&amp;")
        .replace(/</g, "&lt;")
        .replace(/>/g, "&gt;")
        .replace(/"/g, "&quot;");
};

// Relative addresses and http(s) only. Browsers drop tabs and line breaks
// inside an address and blanks around it, so those are removed before the
// scheme (the text before the first ":", when no "/", "?" or "#" comes first)
// is read.
CTree.IsSafeLink = function (link) {
    var text = String(link).replace(/[\u0000-\u0020\u007f]/g, "");
    var head = /^([^\/?#:]*):/.exec(text);
    var scheme;
    if (!head) {
        return true;
    }
    scheme = head[1].toLowerCase();
    if (!/^[a-z][a-z0-9+.\-]*$/.test(scheme)) {
        return true; // not a scheme: a relative path with a colon in it
    }
    return scheme === "http" || scheme === "https";
};

CTree.prototype.AddNode = function (parent, caption, link) {
    var node = {
        nId: this.aNodes.length,
        oParent: null,
        stCaption: caption === null || caption === undefined ? "" : String(caption),
        stLink: link === null || link === undefined ? "" : String(link),
        aChildren: [],
        bOpen: false
    };
    if (parent && this.aNodes[parent.nId] === parent) {
        node.oParent = parent;
        parent.aChildren.push(node);
    } else {
        this.aRoots.push(node);
    }
    this.aNodes.push(node);
    return node;
};

// A node with children, or one without a link (a category), is a folder.
CTree.prototype.IsFolder = function (node) {
    return node.aChildren.length > 0 || node.stLink === "";
};

CTree.prototype.ElementId = function (node, part) {
    return "ctree" + this.nIndex + "_" + part + node.nId;
};

CTree.prototype.Image = function (file, alt, id, cls) {
    return "<img src=\"" + CTree.EscapeHtml(this.stImagePath + file) + "\" width=\"16\" height=\"16\"" +
        " alt=\"" + alt + "\"" + (id ? " id=\"" + id + "\"" : "") +
        " class=\"" + cls + "\">";
};

CTree.prototype.NodeHTML = function (node, depth) {
    var html = [];
    var folder = this.IsFolder(node);
    var hasChildren = node.aChildren.length > 0;
    var open = hasChildren && node.bOpen;
    var call = "return CTree.Toggle(" + this.nIndex + "," + node.nId + ");";
    var caption = CTree.EscapeHtml(node.stCaption);
    var title = " title=\"" + caption + "\""; // long names are cut short by the style sheet
    var i;

    html.push("<div class=\"ctree-row" + (folder ? " ctree-folder" : " ctree-leaf") + "\" id=\"" +
        this.ElementId(node, "r") + "\">");
    for (i = 0; i < depth; i++) {
        html.push(this.Image("blank.gif", "", "", "ctree-indent"));
    }
    if (hasChildren) {
        html.push("<a href=\"#\" class=\"ctree-toggle\" onclick=\"" + call + "\">" +
            this.Image(open ? "minus.gif" : "plus.gif", open ? "-" : "+", this.ElementId(node, "t"),
                "ctree-toggle-img") + "</a>");
    } else {
        html.push(this.Image("blank.gif", "", "", "ctree-indent"));
    }
    html.push(this.Image(folder ? "folder.gif" : "report.gif", "", "", "ctree-icon"));
    if (folder && hasChildren) {
        html.push("<a href=\"#\" class=\"ctree-caption\"" + title + " onclick=\"" + call + "\">" + caption + "</a>");
    } else if (node.stLink !== "" && CTree.IsSafeLink(node.stLink)) {
        html.push("<a href=\"" + CTree.EscapeHtml(node.stLink) + "\"" +
            (this.stTarget ? " target=\"" + CTree.EscapeHtml(this.stTarget) + "\"" : "") +
            " class=\"ctree-caption ctree-link\"" + title + " onclick=\"CTree.Select(" + this.nIndex + "," +
            node.nId + ");\">" + caption + "</a>");
    } else {
        html.push("<span class=\"ctree-caption\"" + title + ">" + caption + "</span>");
    }
    html.push("</div>");

    if (hasChildren) {
        html.push("<div class=\"ctree-children\" id=\"" + this.ElementId(node, "c") + "\"" +
            (open ? "" : " style=\"display:none\"") + ">");
        for (i = 0; i < node.aChildren.length; i++) {
            html.push(this.NodeHTML(node.aChildren[i], depth + 1));
        }
        html.push("</div>");
    }
    return html.join("");
};

CTree.prototype.GetHTMLCode = function () {
    var html = ["<div class=\"ctree\" id=\"ctree" + this.nIndex + "\">"];
    var i;
    for (i = 0; i < this.aNodes.length; i++) {
        this.aNodes[i].bOpen = this.bStartOpen;
    }
    for (i = 0; i < this.aRoots.length; i++) {
        html.push(this.NodeHTML(this.aRoots[i], 0));
    }
    html.push("</div>");
    return html.join("");
};

CTree.prototype.SetOpen = function (node, open) {
    var box = document.getElementById(this.ElementId(node, "c"));
    var toggle = document.getElementById(this.ElementId(node, "t"));
    node.bOpen = open;
    if (box) {
        box.style.display = open ? "" : "none";
    }
    if (toggle) {
        toggle.src = this.stImagePath + (open ? "minus.gif" : "plus.gif");
        toggle.alt = open ? "-" : "+";
    }
};

CTree.prototype.ToggleNode = function (node) {
    var siblings, i;
    if (!node || node.aChildren.length === 0) {
        return;
    }
    if (!node.bOpen && this.bAutoClose) {
        siblings = node.oParent ? node.oParent.aChildren : this.aRoots;
        for (i = 0; i < siblings.length; i++) {
            if (siblings[i] !== node && siblings[i].bOpen) {
                this.SetOpen(siblings[i], false);
            }
        }
    }
    this.SetOpen(node, !node.bOpen);
};

CTree.prototype.SelectNode = function (node) {
    var row;
    if (this.nSelected >= 0) {
        row = document.getElementById(this.ElementId(this.aNodes[this.nSelected], "r"));
        if (row) {
            row.className = row.className.replace(/\s*ctree-selected/g, "");
        }
    }
    this.nSelected = node ? node.nId : -1;
    row = node ? document.getElementById(this.ElementId(node, "r")) : null;
    if (row) {
        row.className += " ctree-selected";
    }
};

// Handlers of the generated HTML; false keeps "#" links from navigating.
CTree.Toggle = function (treeIndex, nodeId) {
    var tree = CTree.aTrees[treeIndex];
    if (tree) {
        tree.ToggleNode(tree.aNodes[nodeId]);
    }
    return false;
};

CTree.Select = function (treeIndex, nodeId) {
    var tree = CTree.aTrees[treeIndex];
    if (tree) {
        tree.SelectNode(tree.aNodes[nodeId]);
    }
    return true;
};
